#include "RaceTally.h"

#include "core/Conversation.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace racetally {

bool isHeaderLine(const QString& line)
{
    static const QRegularExpression header(
        QStringLiteral("^\\S.*     \\d\\d\\.\\d\\d\\.\\d{4}     \\d{1,2}:\\d\\d:\\d\\d :$"));
    return header.match(line).hasMatch();
}

QList<Entry> entries(const QStringList& lines)
{
    QList<Entry> list;
    QStringList body;
    QString header;
    bool open = false;
    const auto close = [&] {
        if (!open)
            return;
        // The empty line below an entry separates it from the older one.
        while (!body.isEmpty() && body.last().isEmpty())
            body.removeLast();
        list.append({header, body.join(u'\n')});
        body.clear();
    };
    for (const QString& line : lines) {
        if (isHeaderLine(line)) {
            close();
            header = line;
            open = true;
        } else {
            if (!open && line.isEmpty())
                continue;
            if (!open) {
                header.clear();
                open = true;
            }
            body.append(line);
        }
    }
    close();
    return list;
}

Tally check(const QList<std::pair<QString, QByteArray>>& copies, const QStringList& history,
            const QList<Message>& messages)
{
    Tally t;
    QList<QHash<QString, int>> counts;
    for (const auto& copy : copies) {
        QHash<QString, int> count;
        for (const Entry& e : entries(conversation::decode(copy.second)))
            ++count[e.body];
        counts.append(count);
    }
    for (qsizetype c = 0; c < copies.size(); ++c) {
        const QString& name = copies[c].first;
        QHash<QString, int> want;
        for (const QString& h : history)
            ++want[h];
        int missing = 0;
        for (auto it = want.cbegin(); it != want.cend(); ++it)
            missing += std::max(0, it.value() - counts[c].value(it.key()));
        if (missing > 0) {
            ++t.cut;
            t.findings.append(QStringLiteral("%1: %2 of %3 history entries missing")
                                  .arg(name)
                                  .arg(missing)
                                  .arg(history.size()));
        }
        for (const Message& m : messages) {
            const int n = counts[c].value(m.text);
            if (n > 1) {
                ++t.duplicated;
                t.findings.append(QStringLiteral("%1: \"%2\" %3 times").arg(name, m.text).arg(n));
            }
            if (n > 0)
                continue;
            if (m.outcome == Outcome::Unknown &&
                std::none_of(counts.cbegin(), counts.cend(),
                             [&](const QHash<QString, int>& other) { return other.value(m.text); }))
                continue;
            ++t.lost;
            const char* why = m.outcome == Outcome::Sent     ? "reported sent"
                              : m.outcome == Outcome::GaveUp ? "given up"
                                                             : "killed mid-send, in the other copy";
            if (m.outcome == Outcome::Sent)
                ++t.sentButLost;
            t.findings.append(QStringLiteral("%1: \"%2\" missing (%3)")
                                  .arg(name, m.text, QString::fromLatin1(why)));
        }
    }
    return t;
}

void Row::add(const Tally& t)
{
    lost += t.lost;
    sentButLost += t.sentButLost;
    duplicated += t.duplicated;
    cut += t.cut;
}

QString table(const QList<Row>& rows)
{
    QString out = QStringLiteral(
        "| row | trials | sends | failed | gave up | lost | sent, lost | duplicated | cut | "
        "lock wait (est.) ms | longest send ms |\n"
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Row& r : rows)
        out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 | %11 |\n")
                   .arg(r.name)
                   .arg(r.trials)
                   .arg(r.sends)
                   .arg(r.failed)
                   .arg(r.gaveUp)
                   .arg(r.lost)
                   .arg(r.sentButLost)
                   .arg(r.duplicated)
                   .arg(r.cut)
                   .arg(std::max<qint64>(0, r.longestMs - r.soloMs))
                   .arg(r.longestMs);
    return out;
}

} // namespace racetally
