// Behaviours of the FTP client that no real server shows on demand, played by a scripted server.
#include "net/FtpClient.h"
#include "support/FtpServerScripted.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include "core/Cp1251.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using Session = ScriptedFtpServer::Session;

FtpSettings settingsFor(const ScriptedFtpServer& server)
{
    FtpSettings s;
    s.host = server.address();
    s.user = QStringLiteral("anna");
    s.password = QStringLiteral("secret");
    // The scripts play plain FTP; TLS is met with real servers (test_ftp_tls).
    s.tls = FtpTls::Off;
    // Short limits keep the timeout tests quick; nothing here asserts a duration.
    s.timeouts.replyMs = 2000;
    s.timeouts.dataIdleMs = 2000;
    return s;
}

// Answers the client's QUIT, if it comes.
void quit(Session& s)
{
    if (s.read().startsWith("QUIT"))
        s.reply("221 bye");
}

FtpError::Kind failureKind(const std::function<void()>& call, int* code = nullptr)
{
    try {
        call();
    } catch (const FtpError& e) {
        if (code)
            *code = e.replyCode();
        return e.kind();
    }
    ADD_FAILURE() << "the call did not fail";
    return FtpError::Kind::Usage;
}

TEST(FtpScripted, Greeting120Then220Connects)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.reply("120 Service ready in 1 minute");
        s.reply("220-Welcome\n220-line two\n220-line three\n220-line four\n220-line five\n220 six");
        s.expect("HOST");
        s.reply("220 HOST accepted");
        s.expect("USER anna");
        s.reply("331 password");
        s.expect("PASS secret");
        s.reply("230 in");
        s.expect("FEAT");
        s.reply("500 FEAT unknown");
        s.expect("TYPE I");
        s.reply("200 ok");
        s.expect("SYST");
        s.reply("215 UNIX");
        s.expect("TYPE I");
        s.reply("200 ok");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_TRUE(client.connected());
    EXPECT_EQ(client.greeting(), QStringLiteral("220-Welcome"));
    EXPECT_TRUE(client.features().isEmpty());
    EXPECT_EQ(client.system(), QStringLiteral("UNIX"));
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, HostAddressLiteralGoesInBrackets)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    client.disconnect();
    EXPECT_EQ(server.received().value(0), QByteArray("HOST [127.0.0.1]"));
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, ServerThatDropsTheConnectionOnHostIsReachedWithoutHost)
{
    ScriptedFtpServer server(
        [](Session& s, int connection) {
            if (connection == 0) {
                s.reply("220 first try");
                s.expect("HOST");
                s.drop();
            }
            s.reply("220 second try");
            s.expect("USER anna");
            s.reply("230 no password needed");
            s.expect("FEAT");
            s.reply("211 none");
            s.expect("TYPE I");
            s.reply("200 ok");
            s.expect("SYST");
            s.reply("215 UNIX");
            s.expect("TYPE I");
            s.reply("200 ok");
            quit(s);
        },
        2);
    int events = 0;
    FtpSettings settings = settingsFor(server);
    settings.onConnected = [&] { ++events; };
    FtpClient client(settings);
    client.connect();
    EXPECT_TRUE(client.connected());
    EXPECT_EQ(events, 1);
    client.disconnect();
    const QByteArrayList received = server.received();
    EXPECT_EQ(received.count("HOST [127.0.0.1]"), 1);
    EXPECT_EQ(received.value(1), QByteArray("USER anna"));
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, RefusedLoginFailsAndLeavesTheClientDisconnected)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.reply("220 hi");
        s.expect("HOST");
        s.reply("500 no");
        s.expect("USER");
        s.reply("331 password");
        s.expect("PASS");
        s.reply("332 Need account for login.");
    });
    FtpClient client(settingsFor(server));
    int code = 0;
    EXPECT_EQ(failureKind([&] { client.connect(); }, &code), FtpError::Kind::Reply);
    EXPECT_EQ(code, 332);
    EXPECT_FALSE(client.connected());
}

TEST(FtpScripted, MultiLineRepliesEndOnlyAtTheirCodeAndASpace)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("NOOP");
        // Inner lines that start with digits, and every line carrying the code, as pure-ftpd does.
        s.reply("200-First line\n123 inner line with digits\n200-still going\n2000 not the "
                "end\n200 Done");
        s.expect("NOOP");
        s.reply("200 second");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    client.noop();
    EXPECT_EQ(client.lastReply().lines.size(), 5);
    EXPECT_EQ(client.lastReply().lines.last(), QStringLiteral("200 Done"));
    client.noop();
    EXPECT_EQ(client.lastReply().text(), QStringLiteral("200 second"));
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, FeaturesDecideClntUtf8SiteZoneAndPret)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.reply("220 hi");
        s.expect("HOST");
        s.reply("504 no");
        s.expect("USER");
        s.reply("230 in");
        s.expect("FEAT");
        s.reply("211-Features:\n CLNT\n utf8\n PRET\n SITE CHMOD,ZONE\n211 End");
        s.expect("CLNT Larkspire");
        s.reply("200 noted");
        s.expect("TYPE I");
        s.reply("200 ok");
        s.expect("SYST");
        s.reply("215 UNIX");
        s.expect("SITE ZONE");
        s.reply("210 UTC+0");
        s.expect("TYPE I");
        s.reply("200 ok");
        s.expect("MKD ");
        s.reply("257 made");
        s.expect("TYPE A");
        s.reply("200 ascii");
        s.expect("PRET NLST");
        s.reply("200 ready");
        s.passive();
        s.acceptData();
        s.expect("NLST");
        s.reply("150 here");
        s.sendData(QStringLiteral(u"Ёлка\r\nb\r\n").toUtf8());
        s.closeData();
        s.reply("226 done");
        s.expect("TYPE I");
        s.reply("200 ok");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_TRUE(client.usesUtf8());
    EXPECT_TRUE(client.offers(QStringLiteral("pret")));
    client.makeFolder(QStringLiteral(u"Привет"));
    EXPECT_EQ(client.listNames(), (QStringList{QStringLiteral(u"Ёлка"), QStringLiteral("b")}));
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
    const QByteArrayList received = server.received();
    EXPECT_TRUE(received.contains("MKD " + QStringLiteral(u"Привет").toUtf8()));
}

TEST(FtpScripted, WithoutUtf8NamesGoOutInWindows1251)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login({"MDTM", "SIZE"});
        s.expect("MKD ");
        s.reply("257 made");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_FALSE(client.usesUtf8());
    client.makeFolder(QStringLiteral(u"Привет"));
    client.disconnect();
    EXPECT_TRUE(server.received().contains("MKD " + cp1251::encode(QStringLiteral(u"Привет"))));
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, CurrentFolderIsTheTextBetweenTheFirstTwoQuotes)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("PWD");
        s.reply("257 \"/netwrk/users/a b\" is the current directory, \"really\"");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_EQ(client.currentFolder(), QStringLiteral("/netwrk/users/a b"));
    client.disconnect();
}

TEST(FtpScripted, SizeReadsOnly213)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("SIZE a");
        s.reply("213 1234567890123");
        s.expect("SIZE b");
        s.reply("550 b: not a plain file");
        s.expect("SIZE c");
        s.reply("213 junk");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_EQ(client.size(QStringLiteral("a")), 1234567890123LL);
    EXPECT_EQ(client.size(QStringLiteral("b")), -1);
    EXPECT_EQ(client.size(QStringLiteral("c")), -1);
    client.disconnect();
}

TEST(FtpScripted, DataConnectionGoesToTheControlPeerNotTheAddressOfThe227Reply)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.passive("10,255,255,1"); // a hostile or NATed server names another host
        s.acceptData();
        s.expect("RETR f");
        s.reply("150 Opening (5 bytes)");
        s.sendData("hello");
        s.closeData();
        s.reply("226 done");
        quit(s);
    });
    TempTree local;
    FtpClient client(settingsFor(server));
    client.connect();
    client.download(QStringLiteral("f"), local.path(QStringLiteral("f")));
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("f"))), QByteArray("hello"));
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, FinalReplyBeforeTheEndOfTheDataIsAccepted)
{
    const QByteArray payload(300'000, 'z');
    ScriptedFtpServer server([&](Session& s, int) {
        s.login();
        s.passive();
        s.acceptData();
        s.expect("RETR f");
        s.reply("125 go");
        s.reply("226 all sent"); // before a single byte of data
        s.sendData(payload);
        s.closeData();
        s.expect("NOOP");
        s.reply("200 fine");
        quit(s);
    });
    TempTree local;
    FtpClient client(settingsFor(server));
    client.connect();
    client.download(QStringLiteral("f"), local.path(QStringLiteral("f")));
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("f"))), payload);
    client.noop();
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, DataConnectionClosedEarlyFailsTheDownload)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.passive();
        s.acceptData();
        s.expect("RETR a");
        s.reply("150 Opening BINARY mode data connection for a (100 bytes)");
        s.sendData("only twenty bytes...");
        s.closeData();
        s.reply("426 Connection closed; transfer aborted.");
        s.passive();
        s.acceptData();
        s.expect("RETR b");
        s.reply("150 Opening BINARY mode data connection for b (100 bytes)");
        s.sendData("only twenty bytes...");
        s.closeData();
        s.reply("226 Transfer complete.");
        s.expect("NOOP");
        s.reply("200 ok");
        quit(s);
    });
    TempTree local;
    FtpClient client(settingsFor(server));
    client.connect();
    int code = 0;
    EXPECT_EQ(
        failureKind([&] { client.download(QStringLiteral("a"), local.path(QStringLiteral("a"))); },
                    &code),
        FtpError::Kind::Reply);
    EXPECT_EQ(code, 426);
    // The server claims success but sent less than it announced: the earlier copy stays.
    local.write(QStringLiteral("b"), "earlier copy");
    EXPECT_EQ(
        failureKind([&] { client.download(QStringLiteral("b"), local.path(QStringLiteral("b"))); }),
        FtpError::Kind::Incomplete);
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("b"))), QByteArray("earlier copy"));
    EXPECT_FALSE(QFileInfo::exists(local.path(QStringLiteral("a"))));
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no part file stays behind";
    client.noop();
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, SilentServerFailsTheOperationAndClosesTheConnection)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("NOOP");
        s.stayQuiet();
    });
    FtpSettings settings = settingsFor(server);
    settings.timeouts.replyMs = 300;
    FtpClient client(settings);
    client.connect();
    EXPECT_EQ(failureKind([&] { client.noop(); }), FtpError::Kind::Timeout);
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, SilentGreetingFailsTheConnect)
{
    ScriptedFtpServer server([](Session& s, int) { s.stayQuiet(); });
    FtpSettings settings = settingsFor(server);
    settings.timeouts.replyMs = 300;
    FtpClient client(settings);
    EXPECT_EQ(failureKind([&] { client.connect(); }), FtpError::Kind::Timeout);
    EXPECT_FALSE(client.connected());
}

TEST(FtpScripted, StalledDataConnectionFailsWithinTheDataLimit)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.passive();
        s.acceptData();
        s.expect("RETR f");
        s.reply("150 go");
        s.sendData("a little");
        s.stayQuiet(); // neither more data nor a close
    });
    TempTree local;
    FtpSettings settings = settingsFor(server);
    settings.timeouts.dataIdleMs = 300;
    FtpClient client(settings);
    client.connect();
    EXPECT_EQ(
        failureKind([&] { client.download(QStringLiteral("f"), local.path(QStringLiteral("f"))); }),
        FtpError::Kind::Timeout);
    EXPECT_FALSE(client.connected());
}

TEST(FtpScripted, ShortTransferEndingWith226FailsAgainstTheSizeTheServerReported)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login({"SIZE", "MDTM"});
        s.expect("SIZE conv.ms");
        s.reply("213 10000");
        s.passive();
        s.acceptData();
        s.expect("RETR conv.ms");
        s.reply("150 Opening data connection"); // no size here: SIZE's counts
        s.sendData(QByteArray(4000, 'x'));
        s.closeData();
        s.reply("226 Transfer complete.");
        // Asked again, the size is still what the transfer fell short of.
        s.expect("SIZE conv.ms");
        s.reply("213 10000");
        s.expect("SIZE conv.ms");
        s.reply("213 3");
        s.passive();
        s.acceptData();
        s.expect("RETR conv.ms");
        s.reply("150 Opening data connection");
        s.sendData("abcdef"); // longer than the file, which has not changed
        s.closeData();
        s.reply("226 Transfer complete.");
        s.expect("SIZE conv.ms");
        s.reply("213 3");
        s.expect("NOOP");
        s.reply("200 ok");
        quit(s);
    });
    TempTree local;
    const QString seen = local.write(QStringLiteral("conv.ms"), "the whole history");
    FtpClient client(settingsFor(server));
    client.connect();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(failureKind([&] { client.download(QStringLiteral("conv.ms"), seen); }),
                  FtpError::Kind::Incomplete);
    EXPECT_EQ(TempTree::read(seen), QByteArray("the whole history"));
    client.noop();
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, DribbledGreetingMustCompleteWithinOneReplyLimit)
{
    ScriptedFtpServer server([](Session& s, int) {
        // Each byte well within the limit, the whole reply far beyond it.
        s.trickle("220 " + QByteArray(200, 'w') + "\r\n", 50);
    });
    FtpSettings settings = settingsFor(server);
    settings.timeouts.replyMs = 500;
    FtpClient client(settings);
    EXPECT_EQ(failureKind([&] { client.connect(); }), FtpError::Kind::Timeout);
    EXPECT_FALSE(client.connected());
}

TEST(FtpScripted, EndlessMultiLineReplyIsCutOff)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("NOOP");
        s.flood("200-and more");
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_EQ(failureKind([&] { client.noop(); }), FtpError::Kind::Protocol);
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, TransferBelowTheMinimumPaceFailsThoughDataKeepsComing)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.passive();
        s.acceptData();
        s.expect("RETR slow");
        s.reply("150 go");
        s.trickle(QByteArray(2000, 'd'), 20, true);
        s.stayQuiet();
    });
    TempTree local;
    FtpSettings settings = settingsFor(server);
    settings.timeouts.dataIdleMs = 5000;
    settings.timeouts.rateWindowMs = 300;
    settings.timeouts.minBytesPerWindow = 1000;
    FtpClient client(settings);
    client.connect();
    EXPECT_EQ(failureKind([&] {
                  client.download(QStringLiteral("slow"), local.path(QStringLiteral("slow")));
              }),
              FtpError::Kind::Timeout);
    EXPECT_FALSE(client.connected());
    EXPECT_FALSE(QFileInfo::exists(local.path(QStringLiteral("slow"))));
}

TEST(FtpScripted, Nlst450IsAnEmptyListAndBinaryModeReturns)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("TYPE A");
        s.reply("200 ascii");
        s.passive();
        s.expect("NLST");
        s.reply("450 No files found");
        s.expect("TYPE I");
        s.reply("200 binary");
        s.expect("TYPE A");
        s.reply("200 ascii");
        s.passive();
        s.expect("NLST");
        s.reply("550 No such directory");
        s.expect("TYPE I");
        s.reply("200 binary");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_EQ(client.listNames(), QStringList());
    int code = 0;
    EXPECT_EQ(failureKind([&] { client.listNames(); }, &code), FtpError::Kind::Reply);
    EXPECT_EQ(code, 550);
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, ExtendedPassiveOnlyWhenConfiguredAndOffered)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login({"EPRT", "EPSV"});
        s.expect("EPSV"); // not PASV
        s.reply("500 not today");
        quit(s);
    });
    FtpSettings settings = settingsFor(server);
    settings.extendedPassive = true;
    FtpClient client(settings);
    client.connect();
    TempTree local;
    int code = 0;
    EXPECT_EQ(
        failureKind([&] { client.download(QStringLiteral("f"), local.path(QStringLiteral("f"))); },
                    &code),
        FtpError::Kind::Reply);
    EXPECT_EQ(code, 500);
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, UploadStreamsTheWholeFile)
{
    QByteArray payload;
    for (int i = 0; i < 100'000; ++i)
        payload += QByteArray::number(i) + '\n';
    QByteArray got;
    ScriptedFtpServer server([&](Session& s, int) {
        s.login();
        s.passive();
        s.acceptData();
        s.expect("STOR up.txt");
        s.reply("150 send it");
        got = s.receiveData();
        s.reply("226 stored");
        quit(s);
    });
    TempTree local;
    FtpClient client(settingsFor(server));
    client.connect();
    client.upload(local.write(QStringLiteral("up.txt"), payload));
    client.disconnect();
    EXPECT_EQ(got, payload);
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, DisconnectDoesNotWaitForAnAnswerToQuit)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("QUIT");
        s.stayQuiet();
    });
    // Were the goodbye's answer awaited like any other reply, the client would still be waiting
    // when the server gives up on it, and the server would report that.
    FtpSettings settings = settingsFor(server);
    settings.timeouts.replyMs = 24 * 3600 * 1000;
    FtpClient client(settings);
    client.connect();
    client.disconnect();
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, CallsWithoutAConnectionOrAddressFailAtOnce)
{
    FtpClient client;
    EXPECT_EQ(failureKind([&] { client.connect(); }), FtpError::Kind::Usage);
    EXPECT_EQ(failureKind([&] { client.noop(); }), FtpError::Kind::Usage);
    EXPECT_EQ(failureKind([&] { client.listNames(); }), FtpError::Kind::Usage);
    EXPECT_FALSE(client.connected());
}

TEST(FtpScripted, ANameWithALineBreakIsNeverSent)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("NOOP");
        s.reply("200 ok");
        quit(s);
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_EQ(failureKind([&] { client.deleteFile(QStringLiteral("a\r\nDELE b")); }),
              FtpError::Kind::Usage);
    client.noop();
    client.disconnect();
    EXPECT_EQ(server.failures(), QString());
}

TEST(FtpScripted, ServerThatClosesMidSessionLeavesTheClientDisconnected)
{
    ScriptedFtpServer server([](Session& s, int) {
        s.login();
        s.expect("CWD");
        s.drop();
    });
    FtpClient client(settingsFor(server));
    client.connect();
    EXPECT_EQ(failureKind([&] { client.changeFolder(QStringLiteral("x")); }),
              FtpError::Kind::Closed);
    EXPECT_FALSE(client.connected());
}

} // namespace
