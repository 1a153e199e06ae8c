// The lines an item keeps without the store modelling them: split, written back and merged.
#include "platform/ical/ical_extras.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ical/ical_categories.h"

namespace pim {
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
}  // namespace pim
