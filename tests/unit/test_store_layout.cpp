#include "core/StringList.h"
#include "net/StoreLayout.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace store;

TEST(StoreLayout, PathsBelowTheServerRoot)
{
    EXPECT_EQ(usersFolder("/srv/lark/"), QStringLiteral("/srv/lark/netwrk/users/"));
    EXPECT_EQ(usersFolder(QString()), QStringLiteral("netwrk/users/"));
    EXPECT_EQ(userFolder("r/", "Ivan"), QStringLiteral("r/netwrk/users/Ivan/"));
    EXPECT_EQ(updateFolder("r/", "rus/"), QStringLiteral("r/rus/Larkspire/"));
    EXPECT_EQ(avatarFile(".jpeg"), QStringLiteral("ava.jpeg"));
    EXPECT_EQ(conversationFile("Petr"), QStringLiteral("Petr.ms"));
    EXPECT_EQ(local::peerAvatarCopy(".png"), QStringLiteral("myava.png"));
}

TEST(StoreLayout, TheTreeRootIsAFullPathWhateverTheSettingsSay)
{
    EXPECT_EQ(treeRoot("/srv/lark/", "/home/x"), QStringLiteral("/srv/lark/"));
    EXPECT_EQ(treeRoot("/srv/lark", "/"), QStringLiteral("/srv/lark/"));
    // Relative to the login folder, an empty root included.
    EXPECT_EQ(treeRoot(QString(), "/"), QStringLiteral("/"));
    EXPECT_EQ(treeRoot(QString(), "/home/lark"), QStringLiteral("/home/lark/"));
    EXPECT_EQ(treeRoot("tree/", "/home/lark/"), QStringLiteral("/home/lark/tree/"));
    EXPECT_EQ(userFolder(treeRoot(QString(), "/"), "Ivan"), QStringLiteral("/netwrk/users/Ivan/"));
}

TEST(StoreLayout, NewDirectoryLineBytes)
{
    const QString line = newDirectoryLine(QStringLiteral("Иван"), "rus/");
    EXPECT_EQ(line, QStringLiteral("}Иван}}}.png}rus/"));
    EXPECT_EQ(stringlist::encode({line}), QByteArray("}\xC8\xE2\xE0\xED}}}.png}rus/\r\n"));
    EXPECT_EQ(stringlist::field(line, 1, u'}'), QStringLiteral("Иван"));
    EXPECT_EQ(stringlist::field(line, 4, u'}'), QStringLiteral(".png"));
    EXPECT_EQ(stringlist::field(line, 5, u'}'), QStringLiteral("rus/"));
}

TEST(StoreLayout, AccountRecordDefaultsAndBytes)
{
    const AccountRecord fresh = AccountRecord::fromLines({});
    EXPECT_EQ(fresh.toLines(), (QStringList{"", "autologin", "", ".png"}));
    EXPECT_EQ(stringlist::encode(fresh.toLines()), QByteArray("\r\nautologin\r\n\r\n.png\r\n"));

    AccountRecord r{"Ivan", "nopass", "52-54-00-AB-0C-FF", ".jpg"};
    EXPECT_EQ(stringlist::encode(r.toLines()),
              QByteArray("Ivan\r\nnopass\r\n52-54-00-AB-0C-FF\r\n.jpg\r\n"));
    EXPECT_EQ(AccountRecord::fromLines(stringlist::decode(stringlist::encode(r.toLines()))), r);
    // A short record keeps what it has and defaults the rest.
    const AccountRecord shortOne = AccountRecord::fromLines({"Ivan", "x"});
    EXPECT_EQ(shortOne.avatarExtension, QStringLiteral(".png"));
    EXPECT_EQ(shortOne.option, QStringLiteral("x"));
}

TEST(StoreLayout, PasswordFileIsOneExactLine)
{
    EXPECT_EQ(stringlist::encode(passwordFileLines(" Пароль 1 ")),
              QByteArray(" \xCF\xE0\xF0\xEE\xEB\xFC 1 \r\n"));
    const QStringList file = stringlist::decode("Secret\r\n");
    EXPECT_TRUE(passwordAccepted(file, "Secret"));
    EXPECT_FALSE(passwordAccepted(file, "secret"));
    EXPECT_FALSE(passwordAccepted(file, "Secret "));
    EXPECT_FALSE(passwordAccepted({}, ""));
    EXPECT_TRUE(passwordAccepted(stringlist::decode("\r\n"), ""));
}
