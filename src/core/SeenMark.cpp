#include "core/SeenMark.h"

#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/Helpers.h"
#include "core/uLocal.h"

#include <QCryptographicHash>

namespace seenmark {

namespace {

const QString kGap = QStringLiteral("     ");

QString senderOf(const QStringList& entry)
{
    return conversation::newestEntry(entry).sender;
}

} // namespace

QStringList toLines(const Mark& mark)
{
    const QDateTime local = mark.at.toLocalTime();
    QStringList lines{mark.entry, helpers::fixedDateText(local.date()) + kGap +
                                      conversation::timeText(local.time())};
    if (!mark.digest.isEmpty())
        lines.append(mark.digest);
    return lines;
}

std::optional<Mark> fromLines(const QStringList& lines)
{
    if (lines.size() < 2 || lines.size() > 3 || lines.at(0).isEmpty())
        return std::nullopt;
    const QDateTime at = QDateTime::fromString(lines.at(1), QStringLiteral("dd.MM.yyyy") + kGap +
                                                                QStringLiteral("H:mm:ss"));
    if (!at.isValid())
        return std::nullopt;
    return Mark{lines.at(0), lines.value(2), at};
}

QString digestOf(QStringList entry)
{
    while (entry.size() > 1 && entry.last().isEmpty())
        entry.removeLast();
    return QString::fromLatin1(
        QCryptographicHash::hash(entry.join(u'\n').toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16));
}

std::optional<Mark> newestFrom(const QStringList& lines, const QString& notWrittenBy)
{
    for (const QStringList& entry : conversation::splitEntries(lines)) {
        if (!entry.isEmpty() && senderOf(entry) != notWrittenBy)
            return Mark{entry.first(), digestOf(entry), {}};
    }
    return std::nullopt;
}

Shown judge(const QStringList& lines, const QString& writer, const std::optional<Mark>& mark)
{
    Shown shown;
    const QList<QStringList> entries = conversation::splitEntries(lines);
    while (shown.own < entries.size() && senderOf(entries.at(shown.own)) == writer)
        ++shown.own;
    if (!mark || shown.own == 0)
        return shown;
    // The newest entry the mark names: the reader saw it, and everything older.
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).first() != mark->entry ||
            (!mark->digest.isEmpty() && digestOf(entries.at(i)) != mark->digest))
            continue;
        if (i >= shown.own)
            return shown; // only the other side's entries were seen, none of the writer's newest
        shown.seen = shown.own - static_cast<int>(i);
        shown.seenAt = mark->at;
        return shown;
    }
    return shown;
}

QString label(const Shown& shown, const StringTable& strings, const QDateTime& now)
{
    if (shown.own == 0)
        return {};
    if (!shown.allSeen())
        return strings.text(kTxtDelivered);
    const QDateTime at = shown.seenAt.toLocalTime();
    const QString time = at.date() == now.toLocalTime().date()
                             ? at.toString(QStringLiteral("HH:mm"))
                             : at.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    return strings.text(kTxtSeenAt).arg(time);
}

} // namespace seenmark
