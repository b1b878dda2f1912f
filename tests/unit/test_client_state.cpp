// The one state every view renders from: what each change tells the views, and that nothing
// of a signed-out user or of another correspondent can end up on screen.
#include "core/uLocal.h"
#include "session/ClientState.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

ClientState::Correspondent shown(const QString& name, const QStringList& lines = {})
{
    ClientState::Correspondent c;
    c.name = name;
    c.reached = true;
    c.hasConversation = !lines.isEmpty();
    c.lines = lines;
    return c;
}

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute));
}

StringTable table(const char* code)
{
    StringTable t;
    t.build(QString::fromLatin1(code));
    return t;
}

} // namespace

TEST(ClientState, OnlyTheConversationOnScreenTakesNewLines)
{
    ClientState state;
    state.signIn(QStringLiteral("Bob"));
    state.showCorrespondent(shown(QStringLiteral("Alice"), {QStringLiteral("old")}));
    QSignalSpy lines(&state, &ClientState::conversationChanged);
    QSignalSpy layout(&state, &ClientState::correspondentChanged);

    // A cycle that began before the user opened someone else brings another's lines.
    EXPECT_FALSE(state.updateConversation(QStringLiteral("Carol"), {QStringLiteral("hers")}));
    EXPECT_FALSE(state.updateConversation(QString(), {QStringLiteral("nobody's")}));
    EXPECT_EQ(state.correspondent().lines, QStringList{QStringLiteral("old")});
    EXPECT_EQ(lines.count(), 0);

    EXPECT_TRUE(state.updateConversation(QStringLiteral("Alice"), {QStringLiteral("new")}));
    EXPECT_EQ(state.correspondent().lines, QStringList{QStringLiteral("new")});
    EXPECT_EQ(lines.count(), 1);
    EXPECT_EQ(layout.count(), 0); // the layout was a conversation already

    // The same lines again change nothing.
    EXPECT_TRUE(state.updateConversation(QStringLiteral("Alice"), {QStringLiteral("new")}));
    EXPECT_EQ(lines.count(), 1);

    // A first message to someone without a conversation turns the quick-send layout into one.
    state.showCorrespondent(shown(QStringLiteral("Dan")));
    layout.clear();
    EXPECT_TRUE(state.updateConversation(QStringLiteral("Dan"), {QStringLiteral("hello")}));
    EXPECT_TRUE(state.correspondent().hasConversation);
    EXPECT_EQ(layout.count(), 1);
}

TEST(ClientState, SigningOutForgetsEverythingOfTheUser)
{
    ClientState state;
    state.setOnline(true);
    state.signIn(QStringLiteral("Bob"));
    state.changeDirectory([](UserDirectory& d) {
        d.firstFill(
            QStringList{QStringLiteral("}Alice}r}a}0}eng/"), QStringLiteral("}Bob}r}a}0}eng/")},
            QStringLiteral("Bob"));
        d.select(0);
    });
    state.showCorrespondent(shown(QStringLiteral("Alice"), {QStringLiteral("x")}));
    state.setReceivedFiles(true);
    state.addNews(QStringLiteral("Carol"));
    EXPECT_EQ(state.selectedName(), QStringLiteral("Alice"));
    EXPECT_EQ(state.sendConditions().user, QStringLiteral("Bob"));

    QSignalSpy user(&state, &ClientState::userChanged);
    state.signOut();
    EXPECT_FALSE(state.signedIn());
    EXPECT_EQ(user.count(), 1);
    EXPECT_FALSE(state.correspondent().shown());
    EXPECT_FALSE(state.correspondent().hasReceivedFiles);
    EXPECT_TRUE(state.directory().users().isEmpty());
    EXPECT_TRUE(state.selectedName().isEmpty());
    EXPECT_EQ(state.unread().count(), 0);
    // The connection is not the user's: it stays as the detector said.
    EXPECT_TRUE(state.online());
    EXPECT_TRUE(state.sendConditions().user.isEmpty());

    // Nobody on screen has files to show.
    state.setReceivedFiles(true);
    EXPECT_FALSE(state.correspondent().hasReceivedFiles);
}

TEST(ClientState, SigningInAgainKeepsTheScreenButAnotherUserStartsAfresh)
{
    ClientState state;
    state.signIn(QStringLiteral("Bob"));
    state.showCorrespondent(shown(QStringLiteral("Alice"), {QStringLiteral("x")}));
    QSignalSpy user(&state, &ClientState::userChanged);

    // The network came back and the same user was signed in again.
    state.signIn(QStringLiteral("Bob"));
    EXPECT_EQ(user.count(), 0);
    EXPECT_EQ(state.correspondent().name, QStringLiteral("Alice"));

    // A rename keeps the conversation; it is still the same person signed in.
    state.rename(QStringLiteral("Robert"));
    EXPECT_EQ(state.user(), QStringLiteral("Robert"));
    EXPECT_EQ(state.correspondent().name, QStringLiteral("Alice"));

    // Someone else on this computer sees nothing of it.
    state.signIn(QStringLiteral("Carol"));
    EXPECT_EQ(state.user(), QStringLiteral("Carol"));
    EXPECT_FALSE(state.correspondent().shown());
}

TEST(ClientState, TheBusyMarkStaysWhileAnyRequestStillRuns)
{
    ClientState state;
    QSignalSpy changed(&state, &ClientState::busyChanged);
    state.setWorking(ClientState::Work::Message, true);
    state.setWorking(ClientState::Work::Opening, true);
    // The conversation came down; the message is still on its way.
    state.setWorking(ClientState::Work::Opening, false);
    EXPECT_TRUE(state.busy());
    // An end told twice does not end another's work.
    state.setWorking(ClientState::Work::Opening, false);
    EXPECT_TRUE(state.busy());
    state.setWorking(ClientState::Work::Message, false);
    EXPECT_FALSE(state.busy());
    EXPECT_EQ(changed.count(), 2);
}

TEST(ClientState, FavouritesToggleAndTellTheViews)
{
    ClientState state;
    QSignalSpy changed(&state, &ClientState::favouritesChanged);
    EXPECT_TRUE(state.toggleFavourite(QStringLiteral("Alice")));
    EXPECT_TRUE(state.isFavourite(QStringLiteral("Alice")));
    EXPECT_FALSE(state.toggleFavourite(QStringLiteral("Alice")));
    EXPECT_FALSE(state.isFavourite(QStringLiteral("Alice")));
    EXPECT_EQ(changed.count(), 2);
    state.setFavourites({QStringLiteral("Bob")});
    state.setFavourites({QStringLiteral("Bob")});
    EXPECT_EQ(changed.count(), 3);
}

TEST(ConnectionStatus, OnlyTheServerSaysConnectedAndAStretchKeepsItsFirstFailure)
{
    using Link = ConnectionStatus::Link;
    ConnectionStatus c;
    EXPECT_EQ(c.link(), Link::Connecting);

    // The detector finds the network: the server has still to answer.
    EXPECT_FALSE(c.networkAnswered(true, at(5, 14, 0)));
    EXPECT_EQ(c.link(), Link::Connecting);
    EXPECT_TRUE(c.serverAnswered(true, at(5, 14, 1)));
    EXPECT_EQ(c.link(), Link::Connected);
    // The same answer again changes nothing the hints show.
    EXPECT_FALSE(c.networkAnswered(true, at(5, 14, 2)));
    EXPECT_FALSE(c.serverAnswered(true, at(5, 14, 2)));

    // The first failed answer starts the stretch; the ones after it do not move its start.
    EXPECT_TRUE(c.networkAnswered(false, at(5, 14, 5)));
    EXPECT_EQ(c.link(), Link::Unreachable);
    EXPECT_EQ(c.unreachableSince(), at(5, 14, 5));
    EXPECT_FALSE(c.networkAnswered(false, at(5, 14, 6)));
    EXPECT_FALSE(c.serverAnswered(false, at(5, 14, 7)));
    EXPECT_EQ(c.unreachableSince(), at(5, 14, 5));
    // A success that began before the network went does not outvote the detector.
    EXPECT_FALSE(c.serverAnswered(true, at(5, 14, 8)));
    EXPECT_EQ(c.link(), Link::Unreachable);

    // The network back: what the server said while it was gone no longer counts.
    EXPECT_TRUE(c.networkAnswered(true, at(5, 14, 10)));
    EXPECT_EQ(c.link(), Link::Connecting);
    EXPECT_FALSE(c.unreachableSince().isValid());

    // A server that does not answer while the network is there is unreachable too.
    EXPECT_TRUE(c.serverAnswered(false, at(5, 14, 11)));
    EXPECT_EQ(c.unreachableSince(), at(5, 14, 11));
    // Later probes that find the network do not hide it, and a failed probe keeps the start.
    EXPECT_FALSE(c.networkAnswered(true, at(5, 14, 12)));
    EXPECT_FALSE(c.networkAnswered(false, at(5, 14, 13)));
    EXPECT_EQ(c.unreachableSince(), at(5, 14, 11));
    EXPECT_FALSE(c.networkAnswered(false, at(5, 14, 14)));
    // Back again: the server answers at last.
    EXPECT_TRUE(c.networkAnswered(true, at(5, 14, 15)));
    EXPECT_TRUE(c.serverAnswered(true, at(5, 14, 16)));
    EXPECT_EQ(c.link(), Link::Connected);
    EXPECT_FALSE(c.unreachableSince().isValid());
}

TEST(ConnectionStatus, TheHintSaysTheStateTheTimeAndWhatWaits)
{
    const StringTable eng = table("eng/");
    const StringTable rus = table("rus/");
    ConnectionStatus c;
    EXPECT_EQ(c.hintLine(eng, at(5, 14, 0)), QString::fromUtf8("Connecting\u2026"));
    EXPECT_EQ(c.hintLine(rus, at(5, 14, 0)), QString::fromUtf8("Подключение\u2026"));
    c.serverAnswered(true, at(5, 14, 0));
    EXPECT_EQ(c.hintLine(eng, at(5, 14, 0)), "Connected");
    EXPECT_EQ(c.hintLine(rus, at(5, 14, 0)), QString::fromUtf8("Подключено"));

    c.networkAnswered(false, at(5, 14, 5));
    EXPECT_EQ(c.hintLine(eng, at(5, 16, 30)), "Server unreachable since 14:05");
    EXPECT_EQ(c.hintLine(rus, at(5, 16, 30)), QString::fromUtf8("Сервер недоступен с 14:05"));
    // Past midnight the time alone would read as today's.
    EXPECT_EQ(c.hintLine(eng, at(6, 9, 0)), "Server unreachable since 05.03.2026 14:05");

    // Waiting messages follow the state, and only when there are any.
    EXPECT_TRUE(c.setWaiting(2));
    EXPECT_FALSE(c.setWaiting(2));
    EXPECT_EQ(c.hintLine(eng, at(5, 16, 30)),
              "Server unreachable since 14:05 (messages waiting: 2)");
    EXPECT_EQ(c.hintLine(rus, at(5, 16, 30)),
              QString::fromUtf8("Сервер недоступен с 14:05 (сообщений в очереди: 2)"));
    c.setWaiting(0);
    EXPECT_EQ(c.hintLine(eng, at(5, 16, 30)), "Server unreachable since 14:05");
}

TEST(ConnectionStatus, TheHintSaysWhetherTlsProtectsTheConnectionAndWhyAServerWasRefused)
{
    const StringTable eng = table("eng/");
    ConnectionStatus c;
    c.serverAnswered(true, at(5, 14, 0));
    EXPECT_TRUE(c.setTransport(ConnectionStatus::Transport::Protected, {}));
    EXPECT_FALSE(c.setTransport(ConnectionStatus::Transport::Protected, {}));
    EXPECT_EQ(c.hintLine(eng, at(5, 14, 0)), "Connected, protected (TLS)");
    c.setTransport(ConnectionStatus::Transport::Plain, {});
    EXPECT_EQ(c.hintLine(eng, at(5, 14, 0)), "Connected, not protected: the server offers no TLS");

    // A pinned server that stopped offering TLS is refused: the hint names why, not merely
    // that the server is away, until a connection opens again.
    const QString refused = QStringLiteral("The FTP server 127.0.0.1:21 no longer offers TLS");
    c.serverAnswered(false, at(5, 14, 5));
    c.setTransport(ConnectionStatus::Transport::Plain, refused);
    EXPECT_EQ(c.hintLine(eng, at(5, 14, 6)), refused);
    c.serverAnswered(true, at(5, 14, 7));
    c.setTransport(ConnectionStatus::Transport::Protected, {});
    EXPECT_EQ(c.hintLine(eng, at(5, 14, 7)), "Connected, protected (TLS)");
}

TEST(ClientState, TheConnectionTellsTheViewsOnlyWhenTheHintChanges)
{
    ClientState state;
    QSignalSpy changed(&state, &ClientState::connectionChanged);
    state.networkAnswered(true, at(5, 14, 0));
    EXPECT_EQ(changed.count(), 0); // still connecting
    state.serverAnswered(true, at(5, 14, 1));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(state.connection().link(), ConnectionStatus::Link::Connected);
    state.networkAnswered(false, at(5, 14, 5));
    state.networkAnswered(false, at(5, 14, 6));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(state.connection().unreachableSince(), at(5, 14, 5));
    state.setWaitingMessages(1);
    state.setWaitingMessages(1);
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(state.connection().waiting(), 1);
    // Signing out is no news for the connection.
    state.signIn(QStringLiteral("Bob"));
    state.signOut();
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(state.connection().link(), ConnectionStatus::Link::Unreachable);
}

TEST(ClientState, OnlyTheCorrespondentOnScreenTakesASeenMark)
{
    ClientState state;
    state.signIn(QStringLiteral("Bob"));
    state.showCorrespondent(shown(QStringLiteral("Alice"), {QStringLiteral("old")}));
    QSignalSpy changed(&state, &ClientState::seenMarkChanged);
    const seenmark::Mark mark{QStringLiteral("Bob     05.03.2026     14:05:07 :"),
                              QStringLiteral("0123456789abcdef"), at(5, 14, 7)};

    // A cycle that began before the user turned to someone else brings another's mark.
    state.setSeenMark(QStringLiteral("Carol"), mark);
    state.setSeenMark(QString(), mark);
    EXPECT_EQ(state.correspondent().seenMark, std::nullopt);
    EXPECT_EQ(changed.count(), 0);

    state.setSeenMark(QStringLiteral("Alice"), mark);
    state.setSeenMark(QStringLiteral("Alice"), mark);
    EXPECT_EQ(state.correspondent().seenMark, mark);
    EXPECT_EQ(changed.count(), 1);
    // The file went: the mark goes too.
    state.setSeenMark(QStringLiteral("Alice"), std::nullopt);
    EXPECT_EQ(state.correspondent().seenMark, std::nullopt);
    EXPECT_EQ(changed.count(), 2);
    // Another correspondent starts without one.
    state.setSeenMark(QStringLiteral("Alice"), mark);
    state.showCorrespondent(shown(QStringLiteral("Dan"), {QStringLiteral("hi")}));
    EXPECT_EQ(state.correspondent().seenMark, std::nullopt);
}
