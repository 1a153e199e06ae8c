// The lines an item keeps without the store modelling them: split, written back and merged.
#include "calendar/ical_extras.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "calendar/ical_categories.h"

namespace calendar {
namespace {

constexpr const char* kKept =
    "SUMMARY;LANGUAGE=ja:会議\r\nDTSTAMP:20240301T120000Z\r\nX-FOO:1\r\n"
    "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT30M\r\nEND:VALARM\r\n"
    "BEGIN:X-TESSARINTH-INK\r\nX-STROKES:1,2\r\nEND:X-TESSARINTH-INK";

TEST(ICalExtras, KeptLinesSplitIntoPropertiesAndWholeComponents) {
    const KeptLines lines = SplitKeptLines(kKept);
    EXPECT_EQ(lines.properties, (std::vector<std::string>{"SUMMARY;LANGUAGE=ja:会議",
                                                          "DTSTAMP:20240301T120000Z", "X-FOO:1"}));
    ASSERT_EQ(lines.components.size(), 2u);
    EXPECT_EQ(lines.components[0].front(), "BEGIN:VALARM");
    EXPECT_EQ(lines.components[1].back(), "END:X-TESSARINTH-INK");
    EXPECT_EQ(lines.AllLines().size(), 10u);
    // A block that never ends is dropped rather than written broken.
    EXPECT_TRUE(SplitKeptLines("BEGIN:VALARM\nTRIGGER:-PT5M").components.empty());
}

TEST(ICalExtras, AnUpdateTakesTheIncomingLinesAndKeepsWhatTheyDoNotCarry) {
    const std::string incoming = "DTSTAMP:20250101T000000Z\r\nX-BAR:2";
    // Properties the incoming item carries replace the stored ones; others stay, as do the
    // stored alarm and ink block, which the incoming item has none of.
    EXPECT_EQ(MergeKeptLines(kKept, incoming, {}),
              "DTSTAMP:20250101T000000Z\r\nX-BAR:2\r\nSUMMARY;LANGUAGE=ja:会議\r\nX-FOO:1\r\n"
              "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT30M\r\nEND:VALARM\r\n"
              "BEGIN:X-TESSARINTH-INK\r\nX-STROKES:1,2\r\nEND:X-TESSARINTH-INK");
    // A subject given without parameters drops the stored LANGUAGE; a reminder given drops the
    // stored alarms.
    EXPECT_EQ(MergeKeptLines(kKept, incoming, {"SUMMARY", "VALARM"}),
              "DTSTAMP:20250101T000000Z\r\nX-BAR:2\r\nX-FOO:1\r\n"
              "BEGIN:X-TESSARINTH-INK\r\nX-STROKES:1,2\r\nEND:X-TESSARINTH-INK");
    // The same lines twice: nothing changes.
    EXPECT_EQ(MergeKeptLines(kKept, kKept, {}), kKept);
}

TEST(ICalExtras, WrittenExtrasLendTheirParametersAndDropWhatTheFieldsReplace) {
    const ical::WrittenExtras kept = ical::PrepareExtras(
        kKept, {"SUMMARY"}, false,
        [](const std::string& name, const std::string&) { return name != "X-FOO"; });
    EXPECT_EQ(kept.properties, "DTSTAMP:20240301T120000Z\r\n");
    EXPECT_TRUE(kept.hasDtstamp);
    EXPECT_FALSE(kept.hasAlarm);  // alarms are dropped with the reminder
    EXPECT_EQ(kept.components,
              "BEGIN:X-TESSARINTH-INK\r\nX-STROKES:1,2\r\nEND:X-TESSARINTH-INK\r\n");
    EXPECT_EQ(ical::TemplatedText(kept, "SUMMARY", "定例会議"), "SUMMARY;LANGUAGE=ja:定例会議\r\n");
    EXPECT_EQ(ical::TemplatedText(kept, "LOCATION", "本社"), "LOCATION:本社\r\n");
    EXPECT_EQ(ical::TemplatedText(kept, "LOCATION", ""), "");
    EXPECT_EQ(ical::DefaultAlarm(""),
              "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\n"
              "END:VALARM\r\n");
}

// An occurrence changed on its own stood at its series' version until then: its SEQUENCE is
// never below the series' or the version it replaces, and one above when its times changed.
TEST(ICalExtras, AChangedOccurrenceIsStampedNeverBelowItsSeries) {
    constexpr int64_t kAt = 1796638500;  // 2026-12-07 10:15:00 UTC
    const std::string stamps = "LAST-MODIFIED:20261207T101500Z\r\nDTSTAMP:20261207T101500Z";
    const std::string series = "DTSTAMP:20200101T000000Z\r\nSEQUENCE:3";
    // Changed for the first time: its texts at the series' version, its times above it.
    EXPECT_EQ(StampedAsChangedOccurrence("X-A:1", series, "", kAt, false),
              "X-A:1\r\nSEQUENCE:3\r\n" + stamps);
    EXPECT_EQ(StampedAsChangedOccurrence("", series, "", kAt, true), "SEQUENCE:4\r\n" + stamps);
    // A version of its own above the series': one above that.
    EXPECT_EQ(StampedAsChangedOccurrence("SEQUENCE:7", series, "SEQUENCE:7", kAt, true),
              "SEQUENCE:8\r\n" + stamps);
    // An earlier version of it brought back: never below the one it replaces.
    EXPECT_EQ(StampedAsChangedOccurrence("SEQUENCE:1", "", "SEQUENCE:5", kAt, false),
              "SEQUENCE:5\r\n" + stamps);
    // Where nobody counts versions, its texts need no SEQUENCE.
    EXPECT_EQ(StampedAsChangedOccurrence("", "DTSTAMP:20200101T000000Z", "", kAt, false), stamps);
}

// Kept CATEGORIES lines are handed out apart from the properties, whatever `keep` says: the
// item's categories decide whether they are written.
TEST(ICalExtras, KeptCategoryLinesAreHandedOutApart) {
    const ical::WrittenExtras kept = ical::PrepareExtras(
        "CATEGORIES:a\r\nX-FOO:1\r\nCATEGORIES;X-NOTE=\"b:c\":d", {}, true,
        [](const std::string& name, const std::string&) { return name != "CATEGORIES"; });
    EXPECT_EQ(kept.properties, "X-FOO:1\r\n");
    ASSERT_EQ(kept.categories.size(), 2u);
    // A parameter's quoted ':' is no end of the name.
    EXPECT_EQ(ical::JoinedCategories(kept.categories), "a, d");
    EXPECT_EQ(ical::WrittenCategories(kept.categories, "a, d"),
              "CATEGORIES:a\r\nCATEGORIES;X-NOTE=\"b:c\":d\r\n");
    EXPECT_EQ(ical::WrittenCategories(kept.categories, "a"), "CATEGORIES:a\r\n");
    EXPECT_EQ(ical::WrittenCategories({}, ""), "");
    EXPECT_FALSE(ical::CategoriesWrittenOtherwise({"CATEGORIES:a,b\\,c"}));
    EXPECT_TRUE(ical::CategoriesWrittenOtherwise({"CATEGORIES:a, b"}));
    EXPECT_TRUE(ical::CategoriesWrittenOtherwise({"CATEGORIES:a", "CATEGORIES:b"}));
}

}  // namespace
}  // namespace calendar
