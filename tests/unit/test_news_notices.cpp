// What a conversation's desktop notification says: its running count, its wording in both
// languages, and which actions it offers.
#include "core/NewsNotices.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using News = NewsNotices::News;

StringTable table(const char* code)
{
    StringTable t;
    t.build(QString::fromLatin1(code));
    return t;
}

News message(const QString& sender, const QString& text, const QString& correspondent = {})
{
    return {sender, correspondent, true, sender + "     07.03.2026     14:05:07 :", text, {}};
}

News notice(const QString& sender, const QString& fileName = {})
{
    return {sender, {},      false, sender + " sent file \"report\" (07.03.2026   14:05:07)",
            {},     fileName};
}

QStringList keys(const NewsNotices::Notice& n)
{
    QStringList k;
    for (const auto& [key, caption] : n.actions)
        k.append(key);
    return k;
}

const QString kNet = "/home/u/Larkspire/Network/";

} // namespace

TEST(NewsNotices, OneNotificationPerConversationCountsUntilItIsRead)
{
    const StringTable eng = table("eng/");
    NewsNotices notices;
    NewsNotices::Notice n = notices.add(message("Anna", "Hello"), eng);
    EXPECT_EQ(n.conversation, QStringLiteral("Anna"));
    EXPECT_EQ(n.summary, QStringLiteral("New message from Anna"));
    EXPECT_EQ(n.body, QStringLiteral("Hello"));

    n = notices.add(message("Anna", "Are you there?"), eng);
    n = notices.add(message("Anna", "Call me"), eng);
    EXPECT_EQ(n.summary, QStringLiteral("3 new from Anna"));
    EXPECT_EQ(n.body, QStringLiteral("Call me"));

    // Another conversation has a count of its own.
    n = notices.add(message("Bob", "Hi"), eng);
    EXPECT_EQ(n.summary, QStringLiteral("New message from Bob"));
    QStringList open = notices.conversations();
    open.sort();
    EXPECT_EQ(open, (QStringList{"Anna", "Bob"}));
    EXPECT_EQ(notices.notice("Anna", eng)->summary, QStringLiteral("3 new from Anna"));

    // Read: the next message starts a new count.
    notices.forget("Anna");
    EXPECT_FALSE(notices.notice("Anna", eng));
    EXPECT_EQ(notices.conversations(), QStringList{"Bob"});
    EXPECT_EQ(notices.add(message("Anna", "Again"), eng).summary,
              QStringLiteral("New message from Anna"));
    EXPECT_EQ(notices.notice("Bob", eng)->summary, QStringLiteral("New message from Bob"));
}

TEST(NewsNotices, TheConversationIsTheCorrespondentsWhoeverWroteTheNewestEntry)
{
    const StringTable eng = table("eng/");
    EXPECT_EQ(NewsNotices::conversationOf(message("Anna", "x")), QStringLiteral("Anna"));
    EXPECT_EQ(NewsNotices::conversationOf(message("Anna", "x", "Team")), QStringLiteral("Team"));
    NewsNotices notices;
    notices.add(message("Team", "first"), eng);
    const NewsNotices::Notice n = notices.add(message("Anna", "second", "Team"), eng);
    EXPECT_EQ(n.conversation, QStringLiteral("Team"));
    // The count is the conversation's; the name is of whoever wrote last.
    EXPECT_EQ(n.summary, QStringLiteral("2 new from Anna"));
    EXPECT_EQ(notices.conversations(), QStringList{"Team"});
}

TEST(NewsNotices, MessagesOfferOpenAndMarkReadAFetchedFileAlsoOpenFile)
{
    const StringTable eng = table("eng/");
    NewsNotices notices;
    const QStringList plain{"default", "mark-read"};
    EXPECT_EQ(keys(notices.add(message("Anna", "Hello"), eng)), plain);

    // The notice is shown before its file comes down, and names no file to open yet, although
    // the poll already knows the file's name.
    NewsNotices::Notice n = notices.add(notice("Zoe", "report.pdf"), eng);
    EXPECT_EQ(n.summary, QStringLiteral("Files from Zoe"));
    EXPECT_EQ(n.body, QStringLiteral("Zoe sent file \"report\" (07.03.2026   14:05:07)"));
    EXPECT_EQ(keys(n), plain);
    EXPECT_TRUE(n.file.isEmpty());

    const auto fetched = notices.filesArrived(notice("Zoe", "report.pdf"), kNet, eng);
    ASSERT_TRUE(fetched);
    EXPECT_EQ(keys(*fetched), (QStringList{"default", "open-file", "mark-read"}));
    EXPECT_EQ(fetched->actions.at(1).second, QStringLiteral("Open file"));
    EXPECT_EQ(fetched->file, kNet + "Zoe/report.pdf");
    EXPECT_EQ(fetched->summary, n.summary);
    EXPECT_EQ(*notices.notice("Zoe", eng), *fetched);
    // Told again, nothing changes.
    EXPECT_FALSE(notices.filesArrived(notice("Zoe", "report.pdf"), kNet, eng));

    // A message after the notice owns the notification: the file is no longer offered, and its
    // late arrival changes nothing.
    n = notices.add(message("Zoe", "Did you get it?"), eng);
    EXPECT_EQ(n.summary, QStringLiteral("2 new from Zoe"));
    EXPECT_EQ(keys(n), plain);
    EXPECT_FALSE(notices.filesArrived(notice("Zoe", "other.pdf"), kNet, eng));
    // Files of a conversation with nothing counted, or of several files, offer nothing.
    EXPECT_FALSE(notices.filesArrived(notice("Carol", "a.txt"), kNet, eng));
    notices.add(notice("Dave"), eng);
    EXPECT_FALSE(notices.filesArrived(notice("Dave"), kNet, eng));
}

TEST(NewsNotices, NamesFromANoticeNeverLeadOutOfTheSendersFolder)
{
    const StringTable eng = table("eng/");
    for (const auto& [sender, file] :
         std::vector<std::pair<QString, QString>>{{"Zoe", "../../../etc/passwd"},
                                                  {"..", "x"},
                                                  {"../Network", "x"},
                                                  {"Zoe", ".."},
                                                  {"Zoe", "."},
                                                  {"Zoe", "a/b"}}) {
        NewsNotices notices;
        notices.add(notice(sender), eng);
        EXPECT_FALSE(notices.filesArrived(notice(sender, file), kNet, eng))
            << sender.toStdString() << " " << file.toStdString();
        EXPECT_TRUE(
            notices.notice(NewsNotices::conversationOf(notice(sender)), eng)->file.isEmpty());
    }
}

TEST(NewsNotices, TheWordingFollowsTheLanguage)
{
    const StringTable rus = table("rus/");
    NewsNotices notices;
    EXPECT_EQ(notices.add(message("Анна", "Привет"), rus).summary,
              QStringLiteral("Новое сообщение от Анна"));
    const NewsNotices::Notice n = notices.add(message("Анна", "Ты здесь?"), rus);
    EXPECT_EQ(n.summary, QStringLiteral("Новых от Анна: 2"));
    ASSERT_EQ(n.actions.size(), 2);
    EXPECT_EQ(n.actions.at(0).second, QStringLiteral("Открыть"));
    EXPECT_EQ(n.actions.at(1).second, QStringLiteral("Отметить как прочитанное"));
    EXPECT_EQ(notices.add(notice("Zoe"), rus).summary, QStringLiteral("Файлы от Zoe"));
    const auto fetched = notices.filesArrived(notice("Zoe", "a.txt"), kNet, rus);
    ASSERT_TRUE(fetched);
    EXPECT_EQ(fetched->actions.at(1).second, QStringLiteral("Открыть файл"));
    EXPECT_EQ(table("eng/").text(NewsNotices::kTxtMenuItem),
              QStringLiteral("Desktop notifications"));
    EXPECT_EQ(rus.text(NewsNotices::kTxtMenuItem), QStringLiteral("Уведомления рабочего стола"));
}
