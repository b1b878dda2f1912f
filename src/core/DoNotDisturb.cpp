#include "core/DoNotDisturb.h"

#include "core/uLocal.h"

namespace {

const QString kHourWord = QStringLiteral("hour");
const QString kMorningWord = QStringLiteral("morning");
const QString kForeverWord = QStringLiteral("forever");

} // namespace

DoNotDisturb::DoNotDisturb(Clock clock)
{
    setClock(std::move(clock));
}

void DoNotDisturb::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); });
}

QDateTime DoNotDisturb::now() const
{
    return m_clock();
}

void DoNotDisturb::turnOn(Span span)
{
    m_on = true;
    m_span = span;
    m_end = endOf(span, now()).toUTC();
}

void DoNotDisturb::turnOff()
{
    m_on = false;
    m_span = Span::UntilTurnedOff;
    m_end = QDateTime();
}

bool DoNotDisturb::isOn() const
{
    if (!m_on)
        return false;
    return m_span == Span::UntilTurnedOff || now() < m_end;
}

QDateTime DoNotDisturb::end() const
{
    return isOn() ? m_end : QDateTime();
}

QString DoNotDisturb::stored() const
{
    if (!isOn())
        return {};
    switch (m_span) {
    case Span::ForAnHour:
        return kHourWord + u' ' + m_end.toString(Qt::ISODate);
    case Span::UntilMorning:
        return kMorningWord + u' ' + m_end.toString(Qt::ISODate);
    case Span::UntilTurnedOff:
        break;
    }
    return kForeverWord;
}

void DoNotDisturb::restore(const QString& value)
{
    turnOff();
    const QString word = value.section(u' ', 0, 0);
    if (word == kForeverWord) {
        m_on = true;
        return;
    }
    if (word != kHourWord && word != kMorningWord)
        return;
    const QDateTime end = QDateTime::fromString(value.section(u' ', 1), Qt::ISODate);
    if (!end.isValid())
        return;
    m_on = true;
    m_span = word == kHourWord ? Span::ForAnHour : Span::UntilMorning;
    m_end = end.toUTC();
}

QDateTime DoNotDisturb::endOf(Span span, const QDateTime& now)
{
    switch (span) {
    case Span::ForAnHour:
        return now.addSecs(3600);
    case Span::UntilMorning:
        return morningAfter(now);
    case Span::UntilTurnedOff:
        break;
    }
    return {};
}

QDateTime DoNotDisturb::morningAfter(const QDateTime& now)
{
    const QDateTime local = now.toLocalTime();
    // Silenced at two in the night, the user means the morning that is coming, not the next.
    const QDate day = local.time().hour() < kNightEndsHour ? local.date() : local.date().addDays(1);
    return QDateTime(day, QTime(kMorningHour, 0));
}

QString DoNotDisturb::endText(const QDateTime& end, const QDateTime& now,
                              const StringTable& strings)
{
    const QDateTime localEnd = end.toLocalTime();
    const QDate today = now.toLocalTime().date();
    const QString time = localEnd.toString(QStringLiteral("HH:mm"));
    if (localEnd.date() == today)
        return time;
    if (localEnd.date() == today.addDays(1))
        return strings.text(kTxtTomorrowAt).arg(time);
    return localEnd.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

QString DoNotDisturb::hintLine(const StringTable& strings) const
{
    if (!isOn())
        return {};
    if (m_span == Span::UntilTurnedOff)
        return strings.text(kTxtOnUntilTurnedOff);
    return strings.text(kTxtOnUntil).arg(endText(m_end, now(), strings));
}

QString DoNotDisturb::menuText(const StringTable& strings) const
{
    return isOn() ? hintLine(strings) : strings.text(kTxtDoNotDisturb);
}
