#include "reminders/reminder_schedule.h"

#include <gtest/gtest.h>

#include "reminders/reminder_text.h"
#include "tests/reminders/reminder_store_support.h"

namespace reminders {
namespace {

using reminders_test::AlarmLines;
using reminders_test::At;

calendar::AppointmentRecord Timed(Date start, Date end, std::string kept = "") {
    calendar::AppointmentRecord record;
    record.start = start;
    record.end = end;
    record.reminderSet = true;
    record.extraProperties = std::move(kept);
    return record;
}

class RingTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
};

TEST_F(RingTimeTest, WithoutAlarmRingsFifteenMinutesBefore) {
    EXPECT_EQ(RingTimeOf(Timed(At(2026, 12, 7, 10), At(2026, 12, 7, 11))), At(2026, 12, 7, 9, 45));
}

TEST_F(RingTimeTest, MidnightStartRingsTheEveningBefore) {
    EXPECT_EQ(RingTimeOf(Timed(At(2027, 1, 1, 0), At(2027, 1, 1, 1))), At(2026, 12, 31, 23, 45));
}

TEST_F(RingTimeTest, ImportedAlarmGivesItsOwnLead) {
    const auto record =
        Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11), AlarmLines("TRIGGER:-PT10M"));
    EXPECT_EQ(RingTimeOf(record), At(2026, 12, 21, 9, 50));
}

TEST_F(RingTimeTest, AlarmRelatedToTheEndCountsFromTheEnd) {
    const auto record =
        Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11), AlarmLines("TRIGGER;RELATED=END:-PT5M"));
    EXPECT_EQ(RingTimeOf(record), At(2026, 12, 21, 10, 55));
}

TEST_F(RingTimeTest, AlarmAtAMomentInUtcRingsThenOnTheLocalClock) {
    const auto record = Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11),
                              AlarmLines("TRIGGER;VALUE=DATE-TIME:20261221T070000Z"));
    EXPECT_EQ(RingTimeOf(record), At(2026, 12, 21, 8));  // Berlin is UTC+1 in winter
}

TEST_F(RingTimeTest, OfSeveralAlarmsTheFirstToGoOffCounts) {
    const auto record = Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11),
                              AlarmLines("TRIGGER:-PT5M") + "\r\n" + AlarmLines("TRIGGER:-PT1H") +
                                  "\r\n" + AlarmLines("TRIGGER:-PT30M"));
    EXPECT_EQ(RingTimeOf(record), At(2026, 12, 21, 9));
}

TEST_F(RingTimeTest, AnEmailAlarmIsNotRungHere) {
    const std::string mailed =
        "BEGIN:VALARM\r\nACTION:EMAIL\r\nTRIGGER:-PT2H\r\nSUMMARY:x\r\nDESCRIPTION:x\r\n"
        "ATTENDEE:mailto:me@example.com\r\nEND:VALARM";
    EXPECT_EQ(RingTimeOf(Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11),
                               mailed + "\r\n" + AlarmLines("TRIGGER:-PT30M"))),
              At(2026, 12, 21, 9, 30));
    EXPECT_EQ(RingTimeOf(Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11), mailed)),
              At(2026, 12, 21, 9, 45));
}

TEST_F(RingTimeTest, UnreadableTriggerFallsBackToTheDefault) {
    for (const char* trigger : {"TRIGGER:soon", "TRIGGER:", "X-NO-TRIGGER:1"}) {
        const auto record = Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11), AlarmLines(trigger));
        EXPECT_EQ(RingTimeOf(record), At(2026, 12, 21, 9, 45)) << trigger;
    }
}

TEST_F(RingTimeTest, AlarmWordsInsideAnotherLineAreNoAlarm) {
    const auto record = Timed(At(2026, 12, 21, 10), At(2026, 12, 21, 11),
                              "X-NOTE:BEGIN:VALARM TRIGGER:-PT2H END:VALARM");
    EXPECT_EQ(RingTimeOf(record), At(2026, 12, 21, 9, 45));
}

TEST_F(RingTimeTest, AllDayRingsAtNineTheDayBefore) {
    calendar::AppointmentRecord record = Timed(At(2026, 12, 26), At(2027, 1, 3));
    record.allDay = true;
    EXPECT_EQ(RingTimeOf(record), At(2026, 12, 25, 9));
}

TEST_F(RingTimeTest, AlarmFurtherAheadThanTheLongestLeadIsHeldToIt) {
    const auto record = Timed(At(2027, 3, 1, 10), At(2027, 3, 1, 11), AlarmLines("TRIGGER:-P60D"));
    EXPECT_EQ(RingTimeOf(record), At(2027, 1, 29, 10));  // 31 days before
}

class CollectRemindersTest : public reminders_test::ReminderStoreTest {};

TEST_F(CollectRemindersTest, OnlyAppointmentsWithReminderNotEndedAndDueInTheWindow) {
    const int32_t meeting = Add(Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"会議"));
    calendar::AppointmentRecord silent = Record(At(2026, 12, 7, 10), At(2026, 12, 7, 11), u"無音");
    silent.reminderSet = false;
    Add(silent);
    Add(Record(At(2026, 12, 7, 7), At(2026, 12, 7, 8), u"終わった"));
    Add(Record(At(2026, 12, 8, 15), At(2026, 12, 8, 16), u"明日"));
    const int32_t running = Add(Record(At(2026, 12, 7, 8), At(2026, 12, 7, 12), u"進行中"));

    auto found = CollectReminders(writer_, At(2026, 12, 7, 9), At(2026, 12, 8, 9));
    ASSERT_TRUE(found.ok()) << found.error().message;
    ASSERT_EQ(found->size(), 2u);
    EXPECT_EQ((*found)[0].oid, running);  // due 07:45, its appointment still on
    EXPECT_EQ((*found)[1].oid, meeting);
    EXPECT_EQ((*found)[1].ringAt, At(2026, 12, 7, 9, 45));
    EXPECT_EQ((*found)[1].occurrence, 0.0);
}

TEST_F(CollectRemindersTest, AllDayAppointmentRunsToTheEndOfItsLastDay) {
    calendar::AppointmentRecord trip = Record(At(2026, 12, 7), At(2026, 12, 7), u"出張");
    trip.allDay = true;
    Add(trip);
    auto during = CollectReminders(writer_, At(2026, 12, 7, 23, 59), At(2026, 12, 8));
    ASSERT_TRUE(during.ok());
    EXPECT_EQ(during->size(), 1u);
    auto after = CollectReminders(writer_, At(2026, 12, 8), At(2026, 12, 9));
    ASSERT_TRUE(after.ok());
    EXPECT_TRUE(after->empty());
}

TEST_F(CollectRemindersTest, EveryOccurrenceOfASeriesIsAReminderOfItsOwn) {
    const int32_t series = AddWeekly(At(2026, 11, 30, 10), At(2026, 11, 30, 11), u"週次定例");
    auto found = CollectReminders(writer_, At(2026, 12, 7), At(2026, 12, 21));
    ASSERT_TRUE(found.ok());
    ASSERT_EQ(found->size(), 2u);
    for (const Reminder& reminder : *found) {
        EXPECT_EQ(reminder.oid, series);
        EXPECT_NE(reminder.occurrence, 0.0);
    }
    EXPECT_EQ((*found)[0].ringAt, At(2026, 12, 7, 9, 45));
    EXPECT_EQ((*found)[1].ringAt, At(2026, 12, 14, 9, 45));
    EXPECT_NE((*found)[0].occurrence, (*found)[1].occurrence);
}

TEST_F(CollectRemindersTest, OccurrenceChangedWithoutReminderOrCancelledIsLeftOut) {
    calendar::AppointmentRecord record =
        Record(At(2026, 11, 30, 10), At(2026, 11, 30, 11), u"定例");
    record.recurrence.rule = "FREQ=WEEKLY";
    record.zoneStart = record.start;
    calendar::OccurrenceChange quiet;
    quiet.recurrenceId = At(2026, 12, 7, 10);
    quiet.start = At(2026, 12, 7, 13);
    quiet.end = At(2026, 12, 7, 14);
    quiet.subject = u"定例";
    calendar::OccurrenceChange cancelled = quiet;
    cancelled.recurrenceId = At(2026, 12, 14, 10);
    cancelled.cancelled = true;
    cancelled.reminderSet = true;
    calendar::OccurrenceChange moved = quiet;
    moved.recurrenceId = At(2026, 12, 21, 10);
    moved.start = At(2026, 12, 22, 9);
    moved.end = At(2026, 12, 22, 10);
    moved.reminderSet = true;
    record.recurrence.changes = {quiet, cancelled, moved};
    Add(record);

    auto found = CollectReminders(writer_, At(2026, 12, 6), At(2026, 12, 27));
    ASSERT_TRUE(found.ok());
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ((*found)[0].ringAt, At(2026, 12, 22, 8, 45));
}

TEST(ReminderTextTest, SaysSubjectTimesAndPlace) {
    Reminder reminder;
    reminder.start = At(2026, 12, 21, 10);
    reminder.end = At(2026, 12, 21, 11);
    reminder.subject = u"週次定例";
    reminder.location = u"会議室B";
    const ReminderText text = TextOf(reminder, Lateness::OnTime);
    EXPECT_EQ(text.title, u"週次定例");
    EXPECT_EQ(text.body, u"12/21(月) 10:00-11:00 @会議室B");
    EXPECT_EQ(TextOf(reminder, Lateness::Late).title, u"週次定例（遅れて通知）");
}

TEST(ReminderTextTest, OvernightAllDayAndUntitled) {
    Reminder bus;
    bus.start = At(2026, 12, 25, 22);
    bus.end = At(2026, 12, 26, 6, 30);
    EXPECT_EQ(TextOf(bus, Lateness::OnTime).title, u"予定");
    EXPECT_EQ(TextOf(bus, Lateness::OnTime).body, u"12/25(金) 22:00-12/26(土) 06:30");
    Reminder holiday;
    holiday.allDay = true;
    holiday.start = At(2026, 12, 26);
    holiday.end = At(2027, 1, 3);
    holiday.subject = u"年末年始休暇";
    EXPECT_EQ(TextOf(holiday, Lateness::OnTime).body, u"12/26(土)-1/3(日) 終日");
    holiday.end = holiday.start;
    EXPECT_EQ(TextOf(holiday, Lateness::OnTime).body, u"12/26(土) 終日");
}

}  // namespace
}  // namespace reminders
