// Do not disturb (its spans, expiry and stored form) and the unread bookkeeping, with a clock the
// tests move.
#include "core/DoNotDisturb.h"
#include "core/UnreadNews.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

StringTable table(const char* code)
{
    StringTable t;
    t.build(QString::fromLatin1(code));
    return t;
}

QDateTime local(int day, int hour, int minute)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute));
}

} // namespace

TEST(DoNotDisturb, TomorrowMorningIsTheMorningAfterTheNight)
{
    EXPECT_EQ(DoNotDisturb::morningAfter(local(5, 22, 15)), local(6, 8, 0));
    EXPECT_EQ(DoNotDisturb::morningAfter(local(5, 9, 0)), local(6, 8, 0));
    EXPECT_EQ(DoNotDisturb::morningAfter(local(5, 7, 59)), local(6, 8, 0));
    // Past midnight the night is still on: the coming morning is meant.
    EXPECT_EQ(DoNotDisturb::morningAfter(local(6, 0, 30)), local(6, 8, 0));
    EXPECT_EQ(DoNotDisturb::morningAfter(local(6, 3, 59)), local(6, 8, 0));
    EXPECT_EQ(DoNotDisturb::morningAfter(local(31, 23, 0)),
              QDateTime(QDate(2026, 4, 1), QTime(8, 0)));
}

TEST(DoNotDisturb, EndsByItselfAndOnlyWhenItsSpanIsOver)
{
    QDateTime now = local(5, 14, 5);
    DoNotDisturb quiet([&] { return now; });
    EXPECT_FALSE(quiet.isOn());

    quiet.turnOn(DoNotDisturb::Span::ForAnHour);
    EXPECT_EQ(quiet.end(), local(5, 15, 5));
    now = local(5, 15, 4);
    EXPECT_TRUE(quiet.isOn());
    now = local(5, 15, 5);
    EXPECT_FALSE(quiet.isOn());
    EXPECT_FALSE(quiet.end().isValid());
    EXPECT_EQ(quiet.stored(), QString());

    quiet.turnOn(DoNotDisturb::Span::UntilMorning);
    now = local(6, 7, 59);
    EXPECT_TRUE(quiet.isOn());
    now = local(6, 8, 0);
    EXPECT_FALSE(quiet.isOn());

    quiet.turnOn(DoNotDisturb::Span::UntilTurnedOff);
    now = local(28, 12, 0);
    EXPECT_TRUE(quiet.isOn());
    quiet.turnOff();
    EXPECT_FALSE(quiet.isOn());
}

TEST(DoNotDisturb, TheStoredFormComesBackUntilItsEnd)
{
    QDateTime now = local(5, 22, 0);
    DoNotDisturb chosen([&] { return now; });
    chosen.turnOn(DoNotDisturb::Span::UntilMorning);

    DoNotDisturb restarted([&] { return now; });
    restarted.restore(chosen.stored());
    EXPECT_TRUE(restarted.isOn());
    EXPECT_EQ(restarted.span(), DoNotDisturb::Span::UntilMorning);
    EXPECT_EQ(restarted.end(), local(6, 8, 0));
    now = local(6, 8, 0);
    EXPECT_FALSE(restarted.isOn());

    chosen.turnOn(DoNotDisturb::Span::UntilTurnedOff);
    restarted.restore(chosen.stored());
    EXPECT_TRUE(restarted.isOn());
    EXPECT_EQ(restarted.span(), DoNotDisturb::Span::UntilTurnedOff);

    // A damaged value must not silence the program for good.
    for (const char* bad : {"", "hour", "hour yesterday", "morning 2026-13-45T99:00:00Z", "on"}) {
        restarted.restore(QString::fromLatin1(bad));
        EXPECT_FALSE(restarted.isOn()) << bad;
    }
}

TEST(DoNotDisturb, TheMenuSaysUntilWhenInEitherLanguage)
{
    const StringTable eng = table("eng/");
    const StringTable rus = table("rus/");
    QDateTime now = local(5, 14, 5);
    DoNotDisturb quiet([&] { return now; });
    EXPECT_EQ(quiet.menuText(eng), "Do not disturb");
    EXPECT_EQ(quiet.menuText(rus), "Не беспокоить");
    EXPECT_EQ(quiet.hintLine(eng), QString());

    quiet.turnOn(DoNotDisturb::Span::ForAnHour);
    EXPECT_EQ(quiet.menuText(eng), "Do not disturb until 15:05");
    EXPECT_EQ(quiet.hintLine(rus), "Не беспокоить до 15:05");

    quiet.turnOn(DoNotDisturb::Span::UntilMorning);
    EXPECT_EQ(quiet.menuText(eng), "Do not disturb until 08:00 tomorrow");
    EXPECT_EQ(quiet.menuText(rus), "Не беспокоить до 08:00 завтра");
    // After midnight the same end is today's.
    now = local(6, 0, 10);
    EXPECT_EQ(quiet.menuText(eng), "Do not disturb until 08:00");

    quiet.turnOn(DoNotDisturb::Span::UntilTurnedOff);
    EXPECT_EQ(quiet.hintLine(eng), "Do not disturb until I turn it off");
    EXPECT_EQ(eng.text(DoNotDisturb::kTxtForAnHour), "for 1 hour");
    EXPECT_EQ(eng.text(DoNotDisturb::kTxtUntilMorning), "until tomorrow morning");
    EXPECT_EQ(eng.text(DoNotDisturb::kTxtUntilTurnedOff), "until I turn it off");
}

TEST(UnreadNews, CountsEachCorrespondentOnceInTheOrderTheNewsCame)
{
    const StringTable eng = table("eng/");
    UnreadNews unread;
    EXPECT_EQ(unread.summary(eng), QString());
    EXPECT_TRUE(unread.add("alice"));
    EXPECT_TRUE(unread.add("bob"));
    EXPECT_FALSE(unread.add("alice"));
    EXPECT_TRUE(unread.add("carol"));
    EXPECT_FALSE(unread.add(QString()));
    EXPECT_EQ(unread.summary(eng), "3 unread: alice, bob, carol");
    EXPECT_EQ(unread.summary(table("rus/")), "Непрочитанные (3): alice, bob, carol");

    EXPECT_TRUE(unread.remove("bob"));
    EXPECT_FALSE(unread.remove("bob"));
    EXPECT_EQ(unread.summary(eng), "2 unread: alice, carol");

    for (const char* name : {"dave", "erin", "frank", "grace", "heidi"})
        unread.add(QString::fromLatin1(name));
    EXPECT_EQ(unread.summary(eng), "7 unread: alice, carol, dave, erin, frank and 2 more");
    EXPECT_TRUE(unread.clear());
    EXPECT_FALSE(unread.clear());
    EXPECT_EQ(unread.count(), 0);
}

TEST(UnreadNews, TheBadgeStaysShort)
{
    EXPECT_EQ(UnreadNews::badgeText(0), QString());
    EXPECT_EQ(UnreadNews::badgeText(3), "3");
    EXPECT_EQ(UnreadNews::badgeText(9), "9");
    EXPECT_EQ(UnreadNews::badgeText(10), "9+");
}
