// An item as it travels to and from the server: one item per resource, and the stamps that let
// another planner tell which side changed it last.
#include "sync/item_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace calendar_sync {
namespace {

// 2026-12-07 10:15:00 UTC.
constexpr int64_t kChanged = 1796638500;

class ItemTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }

    static calendar::AppointmentRecord Meeting() {
        calendar::AppointmentRecord record;
        record.uid = "meeting@test";
        record.subject = u"打ち合わせ";
        record.start = *platform::MakeDate(2026, 12, 21, 10, 0);
        record.end = *platform::MakeDate(2026, 12, 21, 11, 0);
        return record;
    }
};

int Occurrences(const std::string& text, const std::string& piece) {
    int count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(ItemTextTest, SentTextIsStampedWithTheLocalChangeAndKeepsTheRest) {
    calendar::AppointmentRecord record = Meeting();
    record.reminderSet = true;  // its alarm is written only while the reminder is on
    record.extraProperties =
        "DTSTAMP:20200101T000000Z\r\nLAST-MODIFIED:20200101T000000Z\r\nX-OTHER:kept\r\n"
        "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nEND:VALARM";
    const std::string text = ServerTextOf(record, kChanged);
    EXPECT_EQ(Occurrences(text, "DTSTAMP:"), 1) << text;
    EXPECT_EQ(Occurrences(text, "LAST-MODIFIED:20261207T101500Z"), 1) << text;
    EXPECT_EQ(Occurrences(text, "20200101T000000Z"), 0) << text;
    EXPECT_EQ(Occurrences(text, "X-OTHER:kept"), 1) << text;
    EXPECT_EQ(Occurrences(text, "TRIGGER:-PT15M"), 1) << text;
}

TEST_F(ItemTextTest, WhatIsSentReadsBackAsTheSameItemWithItsChangeTime) {
    auto read = ReadServerItem(ServerTextOf(Meeting(), kChanged));
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read->kind, calendar::ItemKind::Appointment);
    EXPECT_EQ(read->Uid(), "meeting@test");
    EXPECT_EQ(read->appointment.subject, u"打ち合わせ");
    EXPECT_EQ(ChangeTimeOf(*read), kChanged);
    EXPECT_EQ(NameOf(*read), "打ち合わせ");
}

TEST_F(ItemTextTest, ChangeTimeFallsBackToTheStampAndMayBeUnknown) {
    ServerItem item;
    item.appointment = Meeting();
    item.appointment.extraProperties = "DTSTAMP:20261207T101500Z";
    EXPECT_EQ(ChangeTimeOf(item), kChanged);
    item.appointment.extraProperties = "X-OTHER:1";
    EXPECT_FALSE(ChangeTimeOf(item).has_value());
    // An alarm's stamp is not the item's.
    item.appointment.extraProperties =
        "BEGIN:VALARM\r\nLAST-MODIFIED:20261207T101500Z\r\nEND:VALARM";
    EXPECT_FALSE(ChangeTimeOf(item).has_value());
}

TEST_F(ItemTextTest, AResourceHoldsExactlyOneItem) {
    const std::string two =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\n"
        "BEGIN:VEVENT\r\nUID:a\r\nDTSTART:20261221T100000\r\nEND:VEVENT\r\n"
        "BEGIN:VTODO\r\nUID:b\r\nSUMMARY:t\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    auto read = ReadServerItem(two);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().message, "it holds 2 items instead of one");

    const std::string series =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\n"
        "BEGIN:VEVENT\r\nUID:w\r\nDTSTART:20261202T090000\r\nDTEND:20261202T100000\r\n"
        "RRULE:FREQ=WEEKLY;COUNT=4\r\nSUMMARY:定例\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:w\r\nRECURRENCE-ID:20261209T090000\r\nDTSTART:20261210T090000\r\n"
        "DTEND:20261210T100000\r\nSUMMARY:定例\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    auto seriesRead = ReadServerItem(series);
    ASSERT_TRUE(seriesRead.ok()) << seriesRead.error().message;
    EXPECT_EQ(seriesRead->appointment.recurrence.changes.size(), 1u);

    const std::string task =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\n"
        "BEGIN:VTODO\r\nUID:t\r\nSUMMARY:年賀状\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
    auto taskRead = ReadServerItem(task);
    ASSERT_TRUE(taskRead.ok());
    EXPECT_EQ(taskRead->kind, calendar::ItemKind::Task);
    EXPECT_EQ(taskRead->Uid(), "t");

    EXPECT_FALSE(ReadServerItem("not a calendar").ok());

    auto none = ReadServerItem("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n");
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().message, "it holds 0 items instead of one");
}

// An item that cannot be read is named with the reason an import of it gives, not a count.
TEST_F(ItemTextTest, AnItemThatCannotBeReadSaysWhy) {
    const auto event = [](const char* lines) {
        return std::string(
                   "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:u\r\n") +
               lines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
    };
    auto early = ReadServerItem(event("DTSTART:00501221T100000Z\r\n"));
    ASSERT_FALSE(early.ok());
    EXPECT_EQ(early.error().message, "line 6: DTSTART is outside the years 100 to 9999");
    auto undated = ReadServerItem(event("SUMMARY:x\r\n"));
    ASSERT_FALSE(undated.ok());
    EXPECT_EQ(undated.error().message, "line 4: VEVENT has no DTSTART");
    auto occurrence = ReadServerItem(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:t\r\n"
        "RECURRENCE-ID:20261221T100000Z\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    ASSERT_FALSE(occurrence.ok());
    EXPECT_EQ(occurrence.error().message,
              "line 3: VTODO with RECURRENCE-ID (one changed occurrence of a series) not kept by "
              "the planner");
}

// Categories another client gave on lines of their own go back to the server on those lines
// when the item is sent again for another change, and as this planner writes them once they
// are changed here.
TEST_F(ItemTextTest, CategoriesGoBackToTheServerOnTheLinesTheyCameOn) {
    auto read = ReadServerItem(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:c@test\r\n"
        "DTSTART:20261221T100000Z\r\nSUMMARY:会議\r\nCATEGORIES:仕事\r\nCATEGORIES:重要\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n");
    ASSERT_TRUE(read.ok()) << read.error().message;
    calendar::AppointmentRecord record = read->appointment;
    EXPECT_EQ(record.categories, u"仕事, 重要");
    record.subject = u"会議 (変更)";
    std::string text = ServerTextOf(record, kChanged);
    EXPECT_EQ(Occurrences(text, "\r\nCATEGORIES:仕事\r\nCATEGORIES:重要\r\n"), 1) << text;

    record.categories = u"仕事";
    text = ServerTextOf(record, kChanged);
    EXPECT_EQ(Occurrences(text, "CATEGORIES:"), 1) << text;
    EXPECT_EQ(Occurrences(text, "\r\nCATEGORIES:仕事\r\n"), 1) << text;
}

// A resource's size is checked before it is parsed: one within the limit is read whole, one
// past it is named with its size.
TEST_F(ItemTextTest, AResourcePastTheSizeLimitIsNotRead) {
    const std::string head =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:big\r\n"
        "DTSTART:20261221T100000\r\nDESCRIPTION:";
    const std::string tail = "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    const size_t memoOctets = kMaxServerItemOctets - head.size() - tail.size();
    const std::string largest = head + std::string(memoOctets, 'x') + tail;
    auto read = ReadServerItem(largest);
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read->appointment.body, std::u16string(memoOctets, u'x'));

    auto refused = ReadServerItem(head + std::string(memoOctets + 1, 'x') + tail);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, "it is larger than 4 MiB (4194305 bytes) and is not read");
}

// A server's item with a property the planner cannot read is left as it is on the server: kept
// here without that property, an edit here would take it from every other client. What the
// planner only carries (another program's GEO) does not stand in the way.
TEST_F(ItemTextTest, AnItemWithAPropertyThatCannotBeReadIsLeftOnTheServer) {
    const auto item = [](const char* line) {
        return std::string(
                   "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:u\r\n"
                   "DTSTART:20261221T100000Z\r\n") +
               line + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    };
    auto refused = ReadServerItem(item("RRULE:FREQ=SOMETIMES"));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message,
              "line 7: RRULE is not a valid recurrence rule: the item is left as it is on the "
              "server");
    auto carried = ReadServerItem(item("GEO:35.6\\;139.7"));
    ASSERT_TRUE(carried.ok()) << carried.error().message;
    EXPECT_NE(carried->appointment.extraProperties.find("GEO:35.6\\;139.7"), std::string::npos);
}

}  // namespace
}  // namespace calendar_sync
