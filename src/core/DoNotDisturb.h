#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class StringTable;

// Do not disturb: while it is on, news still arrives and is counted as unread, but no popup
// shows and no sound plays. It ends by itself at the end of the span the user chose, or when
// the user turns it off. Every question reads the clock, which tests replace.
class DoNotDisturb
{
public:
    enum class Span
    {
        ForAnHour,
        UntilMorning,
        UntilTurnedOff
    };
    using Clock = std::function<QDateTime()>;

    // "Tomorrow morning" is this hour, local time.
    static constexpr int kMorningHour = 8;
    // Until this hour the night is not over, and "tomorrow morning" is the coming one.
    static constexpr int kNightEndsHour = 4;
    // Where the choice is kept in the per-user settings store.
    static constexpr const char16_t* kSettingsKey = u"DoNotDisturb";

    // Row numbers of the string table.
    static constexpr int kTxtDoNotDisturb = 378;
    static constexpr int kTxtForAnHour = 379;
    static constexpr int kTxtUntilMorning = 380;
    static constexpr int kTxtUntilTurnedOff = 381;
    static constexpr int kTxtTurnOff = 382;
    static constexpr int kTxtOnUntil = 383;          // %1: the end
    static constexpr int kTxtOnUntilTurnedOff = 384; // no end
    static constexpr int kTxtTomorrowAt = 385;       // %1: a time of the next day

    explicit DoNotDisturb(Clock clock = {});
    void setClock(Clock clock);
    QDateTime now() const;

    void turnOn(Span span);
    void turnOff();
    // False once the chosen span is over, without anyone turning it off.
    bool isOn() const;
    Span span() const { return m_span; }
    // When it ends by itself; invalid while off or on until turned off.
    QDateTime end() const;

    // The settings-store form, empty while off; restore() takes it back, and anything it cannot
    // read leaves do not disturb off rather than on for good.
    QString stored() const;
    void restore(const QString& value);

    // When a span chosen at `now` ends; invalid for the span without an end.
    static QDateTime endOf(Span span, const QDateTime& now);
    // The next kMorningHour local time that is the morning after the night `now` belongs to.
    static QDateTime morningAfter(const QDateTime& now);

    // The menu's caption: the plain name while off, with its end while on.
    QString menuText(const StringTable& strings) const;
    // The line of the tray's hint; empty while off.
    QString hintLine(const StringTable& strings) const;
    // An end as a person reads it from here: the time alone today, "tomorrow" the next day.
    static QString endText(const QDateTime& end, const QDateTime& now, const StringTable& strings);

private:
    Clock m_clock;
    bool m_on = false;
    Span m_span = Span::UntilTurnedOff;
    QDateTime m_end; // UTC
};
