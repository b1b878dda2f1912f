// The one state every view renders from: what each change tells the views, and that nothing
// of a signed-out user or of another correspondent can end up on screen.
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
