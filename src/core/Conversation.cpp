#include "core/Conversation.h"

#include "core/Cp1251.h"
#include "core/Helpers.h"
#include "core/StringList.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace conversation {

QString timeText(const QTime& time)
{
    // One form for every reader: a locale's "AM"/"PM" or zone name would differ per computer.
    return time.toString(QStringLiteral("H:mm:ss"));
}

QString headerLine(const QString& sender, const QDateTime& when)
{
    const QString gap = QStringLiteral("     ");
    return sender + gap + helpers::fixedDateText(when.date()) + gap + timeText(when.time()) +
           QStringLiteral(" :");
}

namespace {

QStringList splitLines(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    return text.split(lineEnd);
}

} // namespace

void insertMessage(QStringList& lines, const QString& header, const QString& message)
{
    if (!lines.isEmpty())
        lines.prepend(QString());
    const QStringList text = splitLines(message);
    for (auto it = text.crbegin(); it != text.crend(); ++it)
        lines.prepend(*it);
    lines.prepend(header);
}

QByteArray encode(const QStringList& lines)
{
    return cp1251::encode(lines.join(QStringLiteral("\r\n")));
}

QStringList decode(const QByteArray& bytes)
{
    return stringlist::decode(bytes);
}

bool same(const QByteArray& a, const QByteArray& b)
{
    return decode(a) == decode(b);
}

bool hasFileLine(const QStringList& lines)
{
    return lines.size() > 1 && lines.at(1).startsWith(QStringLiteral("..."));
}

void dropFileLine(QStringList& lines)
{
    if (hasFileLine(lines))
        lines.removeAt(1);
}

QString fileLineName(const QStringList& lines)
{
    return hasFileLine(lines) ? lines.at(1).mid(3) : QString();
}

Newest newestEntry(const QStringList& lines)
{
    Newest n;
    if (lines.isEmpty())
        return n;
    n.firstLine = lines.at(0);
    n.secondLine = lines.value(1);
    n.isMessage = n.firstLine.endsWith(u':');
    qsizetype end = n.firstLine.size();
    for (const QString& mark :
         {QStringLiteral("     "), QStringLiteral(" отправляет "), QStringLiteral(" sent ")}) {
        const qsizetype at = n.firstLine.indexOf(mark);
        if (at >= 0 && at < end)
            end = at;
    }
    n.sender = n.firstLine.left(end).trimmed();
    return n;
}

QString uploadName(const QString& localPath)
{
    return helpers::transliterate(QFileInfo(localPath).fileName());
}

QString baseName(const QString& localPath)
{
    const QString name = QFileInfo(localPath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QStringList noticeLines(const Notice& notice)
{
    const auto a = [&](int k) { return notice.phrases.value(k); };
    const QString q = QStringLiteral("\"");
    const QString stamp = helpers::fixedDateText(notice.when.date()) + QStringLiteral("   ") +
                          timeText(notice.when.time()) + u')';
    const qsizetype n = notice.paths.size();
    QStringList b;
    for (const QString& p : notice.paths)
        b.append(baseName(p));
    const QString& s = notice.sender;
    switch (n) {
    case 1: {
        QStringList lines{s + a(0) + q + b[0] + q + QStringLiteral(" (") + stamp};
        if (notice.fileNameLine)
            lines.append(QStringLiteral("...") + uploadName(notice.paths[0]));
        return lines;
    }
    case 2:
        return {s + a(1) + q + b[0] + a(2) + b[1] + q + QStringLiteral(" (") + stamp};
    case 3:
        return {s + a(1) + q + b[0] + q + QStringLiteral(", ") + q + b[1] + a(2) + b[2] + q +
                QStringLiteral(" (") + stamp};
    default: {
        const int last = static_cast<int>(n % 10);
        const int k = last == 1 ? 4 : (last >= 2 && last <= 4 ? 5 : 6);
        return {s + a(notice.countedVerbRow) + QString::number(n) + a(k) + stamp};
    }
    }
}

void insertNotice(QStringList& lines, const QStringList& notice)
{
    if (!lines.isEmpty())
        lines.prepend(QString());
    for (auto it = notice.crbegin(); it != notice.crend(); ++it)
        lines.prepend(*it);
}

QStringList fallbackPhrases()
{
    return {QStringLiteral(" sent "),  QStringLiteral(" sent "),  QStringLiteral("\" and \""),
            QStringLiteral(" sent "),  QStringLiteral(" file ("), QStringLiteral(" files ("),
            QStringLiteral(" files (")};
}

} // namespace conversation
