#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class StringTable;

// What the desktop's notifications say of the news: one notification per conversation, which
// counts what came since the conversation was last read and offers what can be done with it.
// The wording comes from the string table; whoever shows it keeps the notification in step.
class NewsNotices
{
public:
    // Where the choice between the popup and the desktop's notifications is kept.
    static constexpr const char16_t* kSettingsKey = u"DesktopNotifications";

    // Row numbers of the string table.
    static constexpr int kTxtMenuItem = 420;
    static constexpr int kTxtOneMessage = 421; // %1: who wrote
    static constexpr int kTxtSeveral = 422;    // %1: how many, %2: who wrote last
    static constexpr int kTxtFiles = 423;      // %1: who sent them
    static constexpr int kTxtOpen = 424;
    static constexpr int kTxtMarkRead = 425;
    static constexpr int kTxtOpenFile = 426;

    // The keys of the actions, as the notification server hands them back. The server runs the
    // default one when the notification itself is clicked.
    static constexpr const char16_t* kOpen = u"default";
    static constexpr const char16_t* kMarkRead = u"mark-read";
    static constexpr const char16_t* kOpenFile = u"open-file";

    // One piece of news as the poll tells it.
    struct News
    {
        QString sender;        // who wrote the newest entry
        QString correspondent; // whose conversation it is; empty: the sender's
        bool isMessage = false;
        QString firstLine;  // a message's header, or a file notice's line
        QString secondLine; // a message's first line
        QString fileName;   // the single file of a notice, once it came down
    };

    // What a conversation's notification says now.
    struct Notice
    {
        QString conversation;
        QString summary;
        QString body;
        QList<std::pair<QString, QString>> actions; // key, caption
        // The received file that the open-file action opens; empty when it offers none.
        QString file;

        bool operator==(const Notice&) const = default;
    };

    // The conversation a piece of news belongs to: the correspondent's, else the sender's.
    static QString conversationOf(const News& news);

    // Counts the news in its conversation.
    Notice add(const News& news, const StringTable& strings);
    // The file of a notice came down into `networkDir`: the notification of its conversation
    // offers to open it, while that notice is still the newest there and the names stay within
    // the sender's folder. Nothing when the notification does not change.
    std::optional<Notice> filesArrived(const News& news, const QString& networkDir,
                                       const StringTable& strings);
    // The conversation was read: its count starts again.
    void forget(const QString& conversation);

    // Conversations with news counted, in no particular order.
    QStringList conversations() const { return m_counts.keys(); }
    // What the conversation's notification says, if it has news counted.
    std::optional<Notice> notice(const QString& conversation, const StringTable& strings) const;

private:
    struct Count
    {
        int news = 0;
        News newest;
        QString file; // the newest notice's file, once it came down
    };
    static Notice word(const QString& conversation, const Count& count, const StringTable& strings);

    QHash<QString, Count> m_counts;
};
