// larkspire-admin: the operators' tool for one server's tree and its releases.
#include "core/Folders.h"
#include "net/FtpClient.h"
#include "net/Operator.h"
#include "net/SelfUpdate.h"
#include "net/ServerAddress.h"
#include "net/TlsCheck.h"
#include "update/Installer.h"
#include "update/Payload.h"
#include "update/Signature.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace {

const char* kUsage = R"(Commands:
  keygen [PREFIX]        write a release key pair: PREFIX.pub and PREFIX.key (secret, 0600)
  publish-update --build N --key PREFIX.key [--updater FILE] [FOLDER]
                         make the updater carrying the runnable FOLDER (default: the folder of
                         this tool), sign it and upload it with build N to both language folders
  init                   create what is missing of the tree on the main account
  check [--tls]          check the settings account, the tree and that it is writable, and
                         each server's TLS (a must with LARKSPIRE_REQUIRE_TLS=1); silent when
                         all is well. With --tls it first reports each server's TLS: offered
                         or not, protected data connections, session reuse required or not,
                         the certificate's fingerprint and expiry
  users                  list the users of the directory)";

int fail(const QString& text)
{
    fprintf(stderr, "larkspire-admin: %s\n", text.toLocal8Bit().constData());
    return 1;
}

void say(const QString& text)
{
    printf("%s\n", text.toLocal8Bit().constData());
}

QByteArray readFile(const QString& path, bool* ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions mode)
{
    if (QFileInfo::exists(path))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.setPermissions(mode) || f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}

int keygen(const QString& prefix)
{
    const signing::KeyPair pair = signing::generate();
    if (pair.publicKey.isEmpty())
        return fail(QStringLiteral("the signing library does not work here"));
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!writeFile(prefix + QStringLiteral(".key"), pair.secretKey.toHex() + '\n', owner))
        return fail(QStringLiteral("cannot write %1.key (it must not exist yet)").arg(prefix));
    if (!writeFile(prefix + QStringLiteral(".pub"), pair.publicKey.toHex() + '\n',
                   owner | QFileDevice::ReadGroup | QFileDevice::ReadOther))
        return fail(QStringLiteral("cannot write %1.pub").arg(prefix));
    say(QStringLiteral("Secret key: %1.key (keep it off the server)").arg(prefix));
    say(QStringLiteral("Build the program with -DLARKSPIRE_UPDATE_PUBLIC_KEY=%1")
            .arg(QString::fromLatin1(pair.publicKey.toHex())));
    return 0;
}

struct Connection
{
    FtpSettings settings;
    QString root;
};

// Both servers are used over TLS whenever they offer it, and only so where it is required.
FtpTls tlsPolicy()
{
    return tlsRequired() ? FtpTls::Require : FtpTls::Try;
}

FtpSettings settingsAccount(const QCommandLineParser& args)
{
    FtpSettings s;
    s.host = args.value(QStringLiteral("settings-server"));
    s.user = args.value(QStringLiteral("settings-user"));
    s.password = args.value(QStringLiteral("settings-password"));
    s.tls = tlsPolicy();
    return s;
}

// The main account: given on the command line, or read from the settings account as the
// program reads it.
std::optional<Connection> mainAccount(const QCommandLineParser& args, QString* error)
{
    Connection c;
    c.settings.tls = tlsPolicy();
    if (args.isSet(QStringLiteral("host"))) {
        c.settings.host = args.value(QStringLiteral("host"));
        c.settings.user = args.value(QStringLiteral("user"));
        c.settings.password = args.value(QStringLiteral("password"));
        c.root = args.value(QStringLiteral("root"));
        return c;
    }
    FtpClient settingsServer(settingsAccount(args));
    const auto account = ops::readSettings(settingsServer, error);
    if (!account)
        return std::nullopt;
    c.settings.host = account->host;
    c.settings.user = account->user;
    c.settings.password = account->password;
    c.root = account->root;
    return c;
}

int publishUpdate(const QCommandLineParser& args, const QStringList& rest, const Connection& c)
{
    const auto build = selfupdate::parseBuild(args.value(QStringLiteral("build")));
    if (!build)
        return fail(QStringLiteral("--build needs a build number"));
    bool ok = false;
    const QByteArray secret =
        signing::keyFromHex(QString::fromLatin1(readFile(args.value(QStringLiteral("key")), &ok)),
                            signing::kSecretKeyBytes);
    if (secret.isEmpty())
        return fail(QStringLiteral("--key needs a secret key file made by keygen"));
    const QString toolFolder = folderOf(QCoreApplication::applicationFilePath());
    const QString folder = rest.value(1, toolFolder);
    const QString updaterPath = args.isSet(QStringLiteral("updater"))
                                    ? args.value(QStringLiteral("updater"))
                                    : toolFolder + selfupdate::kUpdaterFile;
    const QByteArray program = readFile(updaterPath, &ok);
    if (!ok)
        return fail(QStringLiteral("cannot read the updater %1").arg(updaterPath));
    const QString programPath = folder + QStringLiteral("/Larkspire");
    if (!QFileInfo(programPath).isExecutable())
        return fail(QStringLiteral("%1 holds no program Larkspire").arg(folder));
    // Offered under another number, a program would find itself outdated after every start
    // and install itself again, on every client.
    const auto programBuild = payload::programBuild(readFile(programPath, &ok));
    if (!programBuild)
        return fail(QStringLiteral("%1 tells no build number").arg(programPath));
    if (*programBuild != *build)
        return fail(QStringLiteral("%1 is build %2, not %3")
                        .arg(programPath)
                        .arg(*programBuild)
                        .arg(*build));
    QString error;
    const QByteArray archive = payload::packFolder(folder, &error, updater::updaterEntries());
    if (archive.isEmpty())
        return fail(error);
    const QByteArray updaterFile = payload::attach(program, archive);
    const QByteArray signature = signing::sign(updaterFile, secret);
    FtpClient ftp(c.settings);
    if (!ops::publish(ftp, c.root, *build, updaterFile, signature, &error))
        return fail(error);
    say(QStringLiteral("Published build %1 (%2 bytes).").arg(*build).arg(updaterFile.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("larkspire-admin"));
    QCommandLineParser args;
    args.setApplicationDescription(QString::fromUtf8(kUsage));
    args.addHelpOption();
    args.addPositionalArgument(QStringLiteral("command"), QStringLiteral("see above"));
    args.addOptions({
        {QStringLiteral("settings-server"),
         QStringLiteral("settings server (host or host:port); default LARKSPIRE_SETTINGS_SERVER"),
         QStringLiteral("address"), settingsServerAddress()},
        {QStringLiteral("settings-user"), QStringLiteral("settings account"),
         QStringLiteral("name"), QStringLiteral("fcom")},
        {QStringLiteral("settings-password"), QStringLiteral("settings account's password"),
         QStringLiteral("password"), QStringLiteral("k531902468")},
        {QStringLiteral("host"), QStringLiteral("main server, instead of the settings account's"),
         QStringLiteral("address")},
        {QStringLiteral("user"), QStringLiteral("main account (with --host)"),
         QStringLiteral("name")},
        {QStringLiteral("password"), QStringLiteral("main account's password (with --host)"),
         QStringLiteral("password")},
        {QStringLiteral("root"), QStringLiteral("the tree's root (with --host)"),
         QStringLiteral("path"), QStringLiteral("/")},
        {QStringLiteral("build"), QStringLiteral("build number to publish"), QStringLiteral("N")},
        {QStringLiteral("key"), QStringLiteral("secret key file"), QStringLiteral("file")},
        {QStringLiteral("updater"), QStringLiteral("updater program to carry the folder"),
         QStringLiteral("file")},
        {QStringLiteral("tls"), QStringLiteral("with check: report each server's TLS")},
    });
    args.process(app);
    const QStringList rest = args.positionalArguments();
    const QString command = rest.value(0);
    if (command == u"keygen")
        return keygen(rest.value(1, QStringLiteral("larkspire-release")));
    if (command != u"publish-update" && command != u"init" && command != u"check" &&
        command != u"users") {
        fprintf(stderr, "%s\n", args.helpText().toLocal8Bit().constData());
        return 2;
    }

    QString error;
    const auto c = mainAccount(args, &error);
    if (!c)
        return fail(error);
    if (command == u"publish-update")
        return publishUpdate(args, rest, *c);
    FtpClient ftp(c->settings);
    if (command == u"init") {
        if (!ops::initTree(ftp, c->root, &error))
            return fail(error);
        say(QStringLiteral("The tree is ready."));
        return 0;
    }
    if (command == u"check") {
        QStringList problems;
        const auto reportTls = [&](const QString& role, const FtpSettings& settings) {
            const ops::TlsReport report = ops::checkTls(settings);
            if (args.isSet(QStringLiteral("tls")))
                for (const QString& line : ops::describeTls(role, report))
                    say(line);
            problems << ops::tlsProblems(role, report, tlsRequired(),
                                         QDateTime::currentDateTimeUtc());
        };
        if (!args.isSet(QStringLiteral("host")))
            reportTls(QStringLiteral("settings server"), settingsAccount(args));
        reportTls(QStringLiteral("main server"), c->settings);
        problems << ops::checkTree(ftp, c->root);
        for (const QString& p : problems)
            say(p);
        return problems.isEmpty() ? 0 : 1;
    }
    const auto users = ops::listUsers(ftp, c->root, &error);
    if (!users)
        return fail(error);
    for (const QString& name : *users)
        say(name);
    return 0;
}
