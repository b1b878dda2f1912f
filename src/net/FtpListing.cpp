#include "net/FtpListing.h"

#include <QRegularExpression>

namespace ftplisting {

namespace {

constexpr qint64 kMinute = 60;
constexpr qint64 kDay = 24 * 60 * 60;

int monthNumber(QStringView name)
{
    static constexpr const char16_t* kMonths[] = {u"jan", u"feb", u"mar", u"apr", u"may", u"jun",
                                                  u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"};
    for (int i = 0; i < 12; ++i) {
        if (name.compare(QStringView(kMonths[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

// YYYYMMDDHHMMSS[.sss], always UTC; the fraction only narrows what we know. Read by hand: a
// format parse of every line costs more than the listing's transfer on a large folder.
QDateTime mlsdTime(QStringView value)
{
    if (value.size() < 14)
        return {};
    int n[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    qsizetype pos = 0;
    for (int i = 0; i < 6; ++i) {
        for (int k = 0; k < widths[i]; ++k, ++pos) {
            const char16_t c = value.at(pos).unicode();
            if (c < u'0' || c > u'9')
                return {};
            n[i] = n[i] * 10 + (c - u'0');
        }
    }
    const QDate date(n[0], n[1], n[2]);
    const QTime time(n[3], n[4], n[5]);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

std::optional<Entry> parseMlsd(const QString& line)
{
    // The facts end at the first space; the name is everything after it, spaces included.
    const qsizetype space = line.indexOf(u' ');
    if (space < 0)
        return std::nullopt;
    Entry e;
    e.name = line.mid(space + 1);
    if (e.name.isEmpty())
        return std::nullopt;
    bool typed = false;
    for (const QString& fact : line.left(space).split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = fact.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = fact.left(eq).toLower();
        const QString value = fact.mid(eq + 1);
        if (key == u"type") {
            const QString type = value.toLower();
            if (type == u"cdir" || type == u"pdir")
                return std::nullopt;
            e.folder = type == u"dir";
            typed = true;
        } else if (key == u"size") {
            bool ok = false;
            const qint64 n = value.toLongLong(&ok);
            e.size = ok && n >= 0 ? n : -1;
        } else if (key == u"modify") {
            e.modified = mlsdTime(value);
            e.precisionSecs = 1;
        }
    }
    if (!typed || e.name == u"." || e.name == u"..")
        return std::nullopt;
    return e;
}

std::optional<Entry> parseList(const QString& line, const QDateTime& nowUtc)
{
    static const QRegularExpression kLine(QStringLiteral(
        "^([-dlcbps])[-rwxsStT]{9}\\S*\\s+\\d+\\s+\\S+\\s+\\S+\\s+(\\d+)\\s+([A-Za-z]{3})\\s+"
        "(\\d{1,2})\\s+(\\d{1,2}):(\\d{2})|^([-dlcbps])[-rwxsStT]{9}\\S*\\s+\\d+\\s+\\S+\\s+\\S+"
        "\\s+"
        "(\\d+)\\s+([A-Za-z]{3})\\s+(\\d{1,2})\\s+(\\d{4})"));
    const QRegularExpressionMatch m = kLine.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    const bool withTime = m.capturedLength(1) > 0;
    const int base = withTime ? 1 : 7;
    Entry e;
    const QChar type = m.captured(base).at(0);
    if (type != u'-' && type != u'd' && type != u'l')
        return std::nullopt;
    e.folder = type == u'd';
    // Exactly one space separates the date from the name, which may itself start with spaces.
    qsizetype nameStart = m.capturedEnd(0);
    if (nameStart >= line.size() || line.at(nameStart) != u' ')
        return std::nullopt;
    e.name = line.mid(nameStart + 1);
    if (type == u'l') {
        const qsizetype arrow = e.name.indexOf(QStringLiteral(" -> "));
        if (arrow >= 0)
            e.name.truncate(arrow);
    }
    if (e.name.isEmpty() || e.name == u"." || e.name == u"..")
        return std::nullopt;
    e.size = m.captured(base + 1).toLongLong();
    const int month = monthNumber(m.captured(base + 2));
    const int day = m.captured(base + 3).toInt();
    if (month == 0)
        return e;
    if (withTime) {
        const QTime time(m.captured(5).toInt(), m.captured(6).toInt());
        // No year: the most recent such date that is not in the future.
        for (int year = nowUtc.date().year() + 1; year >= nowUtc.date().year() - 1; --year) {
            const QDateTime t(QDate(year, month, day), time, Qt::UTC);
            if (t.isValid() && t <= nowUtc.addSecs(kDay)) {
                e.modified = t;
                break;
            }
        }
        e.precisionSecs = kMinute;
    } else {
        const QDateTime t(QDate(m.captured(11).toInt(), month, day), QTime(0, 0), Qt::UTC);
        if (t.isValid())
            e.modified = t;
        e.precisionSecs = kDay;
    }
    return e;
}

QList<Entry> parse(const QStringList& lines, bool machine, const QDateTime& nowUtc)
{
    QList<Entry> entries;
    for (const QString& line : lines) {
        if (auto e = machine ? parseMlsd(line) : parseList(line, nowUtc))
            entries.append(*e);
    }
    return entries;
}

} // namespace ftplisting
