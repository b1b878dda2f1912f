// Benchmark driver of the FTP client: ours against the curl command line on one vsftpd on
// loopback, in plain FTP and over TLS (vsftpd requiring session reuse, curl with --ssl-reqd
// -k). Not a test. Run it through bench/ftp/run.sh.
//
//   ftpbench compare [--runs N] [--big-mib N]   the figures: time ratios and peak RSS
//   ftpbench buffers [--runs N] [--big-mib N]   download/upload times per buffer size
//   ftpbench get|put|poll ... [tls]              one client run (what compare measures)
#include "net/FtpClient.h"
#include "net/TlsPins.h"
#include "support/FtpServerFixture.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct Sample
{
    double seconds = 0;
    double rssMiB = 0;
};

// Runs a program to its end; its wall time and peak resident set.
Sample measure(const QStringList& arguments)
{
    std::vector<QByteArray> args;
    for (const QString& a : arguments)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed (status %d): %s\n", status,
                     arguments.join(u' ').toLocal8Bit().constData());
        std::exit(1);
    }
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss / 1024.0};
}

// The median time and the largest peak RSS of `runs` runs.
Sample repeat(const QStringList& arguments, int runs)
{
    std::vector<double> times;
    Sample result;
    for (int i = 0; i < runs; ++i) {
        const Sample s = measure(arguments);
        times.push_back(s.seconds);
        result.rssMiB = std::max(result.rssMiB, s.rssMiB);
    }
    std::sort(times.begin(), times.end());
    result.seconds = times[times.size() / 2];
    return result;
}

// Runs both programs `runs` times, alternating so that neither always meets a warmer page
// cache; the median time and the largest peak RSS of each.
std::pair<Sample, Sample> interleave(const QStringList& ours, const QStringList& curl, int runs)
{
    std::vector<double> oursTimes, curlTimes;
    std::pair<Sample, Sample> result;
    for (int i = 0; i < runs; ++i) {
        const Sample o = measure(ours);
        const Sample c = measure(curl);
        oursTimes.push_back(o.seconds);
        curlTimes.push_back(c.seconds);
        result.first.rssMiB = std::max(result.first.rssMiB, o.rssMiB);
        result.second.rssMiB = std::max(result.second.rssMiB, c.rssMiB);
    }
    std::sort(oursTimes.begin(), oursTimes.end());
    std::sort(curlTimes.begin(), curlTimes.end());
    result.first.seconds = oursTimes[oursTimes.size() / 2];
    result.second.seconds = curlTimes[curlTimes.size() / 2];
    return result;
}

void writeFile(const QString& path, qint64 size, quint64 seed)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    std::vector<quint64> block(1 << 17); // 1 MiB
    quint64 x = seed | 1;
    for (qint64 done = 0; done < size;) {
        for (quint64& v : block) { // xorshift: incompressible and quick
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            v = x;
        }
        const qint64 n = std::min<qint64>(size - done, static_cast<qint64>(block.size() * 8));
        f.write(reinterpret_cast<const char*>(block.data()), n);
        done += n;
    }
}

FtpClient clientFor(const QStringList& a, int first)
{
    FtpSettings s;
    s.host = a.value(first);
    s.user = a.value(first + 1);
    s.password = a.value(first + 2);
    if (const int kib = qEnvironmentVariableIntValue("LARKSPIRE_FTP_BUFFER_KIB"); kib > 0)
        s.transferBufferBytes = kib * 1024;
    // "tls" after the command's arguments: TLS or nothing; else plain FTP, as curl without
    // --ssl-reqd.
    const bool tls = a.value(first + 5) == u"tls";
    s.tls = tls ? FtpTls::Require : FtpTls::Off;
    if (tls)
        s.tlsPins = std::make_shared<MemoryTlsPins>();
    return FtpClient(s);
}

// get|put|poll host user password ... [tls]
int runClient(const QStringList& a)
{
    try {
        if (a.value(1) == u"get") { // get host user password remote local
            FtpClient c = clientFor(a, 2);
            c.connect();
            c.download(a.value(5), a.value(6));
            c.disconnect();
        } else if (a.value(1) == u"put") { // put host user password local remote
            FtpClient c = clientFor(a, 2);
            c.connect();
            c.upload(a.value(5), a.value(6));
            c.disconnect();
        } else if (a.value(1) == u"poll") { // poll host user password folder localdir
            FtpClient c = clientFor(a, 2);
            c.connect();
            c.changeFolder(a.value(5));
            for (const QString& name : c.listNames())
                c.download(name, a.value(6) + u'/' + name);
            c.disconnect();
        } else {
            return 2;
        }
    } catch (const FtpError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

struct Bench
{
    std::unique_ptr<FtpServerFixture> server;
    QString self;
    QString scratch;
    QString url;
    int runs = 3;
    qint64 bigMiB = 512;
    int smallCount = 200;

    QStringList ours(const QString& mode, const QString& a, const QString& b,
                     bool tls = false) const
    {
        QStringList args{self, mode, server->address(), server->user(), server->password(), a, b};
        if (tls)
            args << QStringLiteral("tls");
        return args;
    }
    // curl's first arguments: quiet, and over TLS (any certificate) when asked.
    static QStringList curl(bool tls)
    {
        QStringList args{QStringLiteral("curl"), QStringLiteral("-sS")};
        if (tls)
            args << QStringLiteral("--ssl-reqd") << QStringLiteral("-k");
        return args;
    }
};

void prepare(Bench& b, int argc, char** argv)
{
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs"))
            b.runs = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--big-mib"))
            b.bigMiB = std::max(1, std::atoi(argv[i + 1]));
    }
    b.self = QString::fromLocal8Bit(argv[0]);
    if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Vsftpd); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        std::exit(1);
    }
    qputenv("LARKSPIRE_FTP_QUIET", "1");
    // TLS besides plain FTP, data connections resuming the control connection's session.
    FtpServerFixture::Options options;
    options.tls = true;
    b.server = FtpServerFixture::start(FtpServerKind::Vsftpd, options);
    b.url = QStringLiteral("ftp://%1:%2@%3/")
                .arg(b.server->user(), b.server->password(), b.server->address());
    b.scratch = b.server->root() + QStringLiteral("/../client");
    QDir().mkpath(b.scratch);

    writeFile(b.server->path(QStringLiteral("big.bin")), b.bigMiB << 20, 1);
    writeFile(b.server->path(QStringLiteral("mid.bin")), 16 << 20, 2);
    for (int i = 0; i < b.smallCount; ++i) {
        // Conversation-sized files of 1 to 8 KiB.
        QByteArray text;
        while (text.size() < 1024 + (i * 37) % 7168)
            text += "anna     09.12.2026     12:00:00 :\r\nHello there\r\n\r\n";
        b.server->write(QStringLiteral("poll/m%1.ms").arg(i, 3, 10, QLatin1Char('0')), text);
    }
    writeFile(b.scratch + QStringLiteral("/big.up"), b.bigMiB << 20, 3);
    writeFile(b.scratch + QStringLiteral("/mid.up"), 16 << 20, 4);
}

QStringList curlPoll(const Bench& b, const QString& folder, bool tls)
{
    QStringList args = Bench::curl(tls);
    args << QStringLiteral("--list-only") << b.url + QStringLiteral("poll/") << QStringLiteral("-o")
         << folder + QStringLiteral("/list.txt");
    for (int i = 0; i < b.smallCount; ++i) {
        const QString name = QStringLiteral("m%1.ms").arg(i, 3, 10, QLatin1Char('0'));
        args << QStringLiteral("--next") << Bench::curl(tls).mid(1) << QStringLiteral("-o")
             << folder + u'/' + name << b.url + QStringLiteral("poll/") + name;
    }
    return args;
}

void line(const char* what, const Sample& ours, const Sample& curl)
{
    std::printf("%-28s ours %7.3f s  curl %7.3f s  ours/curl %.2f\n", what, ours.seconds,
                curl.seconds, ours.seconds / curl.seconds);
    std::fflush(stdout);
}

int compare(int argc, char** argv)
{
    Bench b;
    prepare(b, argc, argv);
    const QString local = b.scratch + QStringLiteral("/down.bin");
    const QString big = QStringLiteral("%1 MiB").arg(b.bigMiB);
    std::printf("vsftpd on %s serving %s, %d runs each (median time, largest peak RSS)\n",
                qPrintable(b.server->address()), qPrintable(QDir::tempPath()), b.runs);

    for (const bool tls : {false, true}) {
        const QString over = tls ? QStringLiteral(" TLS") : QString();
        const auto [oursGet, curlGet] = interleave(
            b.ours(QStringLiteral("get"), QStringLiteral("big.bin"), local, tls),
            Bench::curl(tls) << QStringLiteral("-o") << local << b.url + QStringLiteral("big.bin"),
            b.runs);
        line(qPrintable(QStringLiteral("download %1%2").arg(big, over)), oursGet, curlGet);
        const Sample oursGetMid =
            repeat(b.ours(QStringLiteral("get"), QStringLiteral("mid.bin"), local, tls), b.runs);
        std::printf("%-28s ours %5.1f MiB (16 MiB file: %5.1f MiB, difference %.2f MiB)  curl "
                    "%5.1f MiB\n",
                    qPrintable(QStringLiteral("download%1 peak RSS").arg(over)), oursGet.rssMiB,
                    oursGetMid.rssMiB, oursGet.rssMiB - oursGetMid.rssMiB, curlGet.rssMiB);
        std::fflush(stdout);

        const auto [oursPut, curlPut] = interleave(
            b.ours(QStringLiteral("put"), b.scratch + QStringLiteral("/big.up"),
                   QStringLiteral("up.bin"), tls),
            Bench::curl(tls) << QStringLiteral("-T") << b.scratch + QStringLiteral("/big.up")
                             << b.url + QStringLiteral("up.bin"),
            b.runs);
        line(qPrintable(QStringLiteral("upload %1%2").arg(big, over)), oursPut, curlPut);
        const Sample oursPutMid =
            repeat(b.ours(QStringLiteral("put"), b.scratch + QStringLiteral("/mid.up"),
                          QStringLiteral("up.bin"), tls),
                   b.runs);
        std::printf("%-28s ours %5.1f MiB (16 MiB file: %5.1f MiB, difference %.2f MiB)  curl "
                    "%5.1f MiB\n",
                    qPrintable(QStringLiteral("upload%1 peak RSS").arg(over)), oursPut.rssMiB,
                    oursPutMid.rssMiB, oursPut.rssMiB - oursPutMid.rssMiB, curlPut.rssMiB);
        std::fflush(stdout);

        const QString oursDir = b.scratch + QStringLiteral("/poll-ours");
        const QString curlDir = b.scratch + QStringLiteral("/poll-curl");
        QDir().mkpath(oursDir);
        QDir().mkpath(curlDir);
        const auto [oursPoll, curlPollSample] =
            interleave(b.ours(QStringLiteral("poll"), QStringLiteral("poll"), oursDir, tls),
                       curlPoll(b, curlDir, tls), b.runs);
        line(qPrintable(QStringLiteral("poll of %1 files%2").arg(b.smallCount).arg(over)), oursPoll,
             curlPollSample);
    }
    return 0;
}

int buffers(int argc, char** argv)
{
    Bench b;
    prepare(b, argc, argv);
    const QString local = b.scratch + QStringLiteral("/down.bin");
    std::printf("vsftpd on %s, %lld MiB, %d runs each (median)\n", qPrintable(b.server->address()),
                static_cast<long long>(b.bigMiB), b.runs);
    for (const int kib : {64, 128, 256, 512}) {
        qputenv("LARKSPIRE_FTP_BUFFER_KIB", QByteArray::number(kib));
        const Sample get =
            repeat(b.ours(QStringLiteral("get"), QStringLiteral("big.bin"), local), b.runs);
        const Sample put =
            repeat(b.ours(QStringLiteral("put"), b.scratch + QStringLiteral("/big.up"),
                          QStringLiteral("up.bin")),
                   b.runs);
        std::printf(
            "buffer %3d KiB: download %.3f s (%.1f MiB RSS), upload %.3f s (%.1f MiB RSS)\n", kib,
            get.seconds, get.rssMiB, put.seconds, put.rssMiB);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList a;
    for (int i = 0; i < argc; ++i)
        a << QString::fromLocal8Bit(argv[i]);
    if (a.value(1) == u"compare")
        return compare(argc, argv);
    if (a.value(1) == u"buffers")
        return buffers(argc, argv);
    if (a.value(1) == u"get" || a.value(1) == u"put" || a.value(1) == u"poll")
        return runClient(a);
    std::fprintf(stderr, "usage: ftpbench compare|buffers [--runs N] [--big-mib N]\n");
    return 2;
}
