#include "core/NewsNotices.h"

#include "core/ReceivedFolder.h"
#include "core/uLocal.h"

QString NewsNotices::conversationOf(const News& news)
{
    return news.correspondent.isEmpty() ? news.sender : news.correspondent;
}

NewsNotices::Notice NewsNotices::add(const News& news, const StringTable& strings)
{
    const QString conversation = conversationOf(news);
    Count& count = m_counts[conversation];
    ++count.news;
    count.newest = news;
    // The file comes down after the notice is announced, and a message has none.
    count.file.clear();
    return word(conversation, count, strings);
}

std::optional<NewsNotices::Notice>
NewsNotices::filesArrived(const News& news, const QString& networkDir, const StringTable& strings)
{
    const QString conversation = conversationOf(news);
    const auto it = m_counts.find(conversation);
    // A later message or notice owns the notification now.
    if (it == m_counts.end() || it->newest.isMessage || it->newest.sender != news.sender)
        return std::nullopt;
    // Both names come from a conversation file anyone with the shared login can write.
    const QString file = received::fileFor(networkDir, news.sender, news.fileName);
    if (file.isEmpty() || file == it->file)
        return std::nullopt;
    it->file = file;
    return word(conversation, *it, strings);
}

void NewsNotices::forget(const QString& conversation)
{
    m_counts.remove(conversation);
}

std::optional<NewsNotices::Notice> NewsNotices::notice(const QString& conversation,
                                                       const StringTable& strings) const
{
    const auto it = m_counts.constFind(conversation);
    if (it == m_counts.constEnd())
        return std::nullopt;
    return word(conversation, *it, strings);
}

NewsNotices::Notice NewsNotices::word(const QString& conversation, const Count& count,
                                      const StringTable& strings)
{
    const News& newest = count.newest;
    const QString who = newest.sender.isEmpty() ? conversation : newest.sender;
    Notice n;
    n.conversation = conversation;
    if (count.news > 1)
        n.summary = strings.text(kTxtSeveral).arg(count.news).arg(who);
    else
        n.summary = strings.text(newest.isMessage ? kTxtOneMessage : kTxtFiles).arg(who);
    n.body = newest.isMessage ? newest.secondLine : newest.firstLine;
    n.actions.append({QString::fromUtf16(kOpen), strings.text(kTxtOpen)});
    if (!count.file.isEmpty()) {
        n.actions.append({QString::fromUtf16(kOpenFile), strings.text(kTxtOpenFile)});
        n.file = count.file;
    }
    n.actions.append({QString::fromUtf16(kMarkRead), strings.text(kTxtMarkRead)});
    return n;
}
