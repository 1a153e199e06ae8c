// The text layer of iCalendar files: content lines, folding, escaping and components.
#include "platform/pim/ical_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pim::ical {
namespace {

TEST(ICalLines, FoldingKeepsLinesTo75OctetsAndNeverSplitsACharacter) {
    EXPECT_EQ(Fold("SUMMARY:short"), "SUMMARY:short\r\n");
    const std::string line = "SUMMARY:" + std::string(70, 'a');  // 78 octets
    EXPECT_EQ(Fold(line),
              "SUMMARY:" + std::string(67, 'a') + "\r\n " + std::string(3, 'a') + "\r\n");
    // Three-octet characters: the cut moves back to the start of the one it would split.
    std::string japanese = "SUMMARY:";
    for (int i = 0; i < 30; ++i) {
        japanese += "予";
    }
    const std::string folded = Fold(japanese);
    const size_t firstBreak = folded.find("\r\n");
    EXPECT_EQ(firstBreak, 74u);  // 8 + 22 * 3: a 23rd character would pass 75
    EXPECT_EQ(folded.substr(firstBreak, 3), "\r\n ");
    EXPECT_EQ(folded.size(), japanese.size() + 3 + 2);  // one fold, then the CRLF
}

TEST(ICalLines, TextIsEscapedAndListsAreSplitAndUnescaped) {
    EXPECT_EQ(EscapeText("a,b;c\\d\r\ne\x01"), "a\\,b\\;c\\\\d\\ne ");
    EXPECT_EQ(SplitTextList("祝日,休み\\,日曜, ,家族\\n親戚"),
              (std::vector<std::string>{"祝日", "休み,日曜", "家族\n親戚"}));
    EXPECT_EQ(TextLine("DESCRIPTION", "一行目\n二行目"), "DESCRIPTION:一行目\\n二行目\r\n");
}

TEST(ICalLines, AContentLineGivesItsNameParametersAndValue) {
    const auto line = SplitContentLine(
        7, R"(attendee;CN="Sato, Hanako";ROLE=REQ-PARTICIPANT,CHAIR:mailto:a@b.jp)");
    ASSERT_TRUE(line.ok()) << line.error().message;
    EXPECT_EQ(line->line, 7);
    EXPECT_EQ(line->name, "ATTENDEE");
    ASSERT_EQ(line->parameters.size(), 2u);
    EXPECT_EQ(*line->FindParameter("CN"), "Sato, Hanako");
    EXPECT_EQ(*line->FindParameter("ROLE"), "REQ-PARTICIPANT,CHAIR");
    EXPECT_EQ(line->FindParameter("RSVP"), nullptr);
    EXPECT_EQ(line->value(), "mailto:a@b.jp");
    EXPECT_EQ(NameOfLine("dtstart;TZID=Asia/Tokyo:20240301T090000"), "DTSTART");
    EXPECT_EQ(ValueOfLine("DTSTART;TZID=Asia/Tokyo:20240301T090000"), "20240301T090000");

    for (const char* broken : {"SUMMARY", ":value", "SUM MARY:x", "X;=1:y", "X;P:y", "X;P=\"a:y"}) {
        EXPECT_FALSE(SplitContentLine(3, broken).ok()) << broken;
    }
    EXPECT_EQ(SplitContentLine(3, "X;P:y").error().message, "line 3: parameter P of X has no '='");
}

TEST(ICalLines, PhysicalLinesAreUnfoldedAndNumbered) {
    const auto lines = ReadContentLines(
        "\xEF\xBB\xBF"
        "BEGIN:VCALENDAR\r\n\r\nDESCRIPTION:long\r\n  text\n\tmore\nEND:VCALENDAR\n");
    ASSERT_TRUE(lines.ok()) << lines.error().message;
    ASSERT_EQ(lines->size(), 3u);
    EXPECT_EQ((*lines)[1].line, 3);
    EXPECT_EQ((*lines)[1].value(), "long textmore");
    EXPECT_EQ((*lines)[2].line, 6);
    EXPECT_EQ(ReadContentLines(" BEGIN:VCALENDAR\n").error().message,
              "line 1: continuation line with no line before it");
    EXPECT_EQ(ReadContentLines("BEGIN:VCALENDAR\nX:\x01\n").error().message,
              "line 2: the line holds a control character");
}

TEST(ICalLines, ComponentsNestAndKeepTheirLinesWordForWord) {
    auto lines = ReadContentLines(
        "BEGIN:VCALENDAR\nBEGIN:VEVENT\nSUMMARY:a\nBEGIN:VALARM\nTRIGGER:-PT5M\n"
        "END:VALARM\nEND:VEVENT\nEND:VCALENDAR\n");
    ASSERT_TRUE(lines.ok());
    auto calendars = BuildComponents(std::move(lines).value());
    ASSERT_TRUE(calendars.ok()) << calendars.error().message;
    ASSERT_EQ(calendars->size(), 1u);
    const Component& event = (*calendars)[0].children.at(0);
    EXPECT_EQ(event.name, "VEVENT");
    EXPECT_EQ(event.beginLine, 2);
    EXPECT_TRUE(event.Has("SUMMARY"));
    EXPECT_FALSE(event.Has("DTSTART"));
    std::vector<std::string> verbatim;
    AppendVerbatim(event, verbatim);
    EXPECT_EQ(verbatim, (std::vector<std::string>{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VALARM",
                                                  "TRIGGER:-PT5M", "END:VALARM", "END:VEVENT"}));

    std::string deep = "BEGIN:VCALENDAR\n";
    for (int i = 0; i < 8; ++i) {
        deep += "BEGIN:X-IN\n";
    }
    auto tooDeep = BuildComponents(*ReadContentLines(deep));
    EXPECT_EQ(tooDeep.error().message, "line 9: components are nested too deeply");
}

}  // namespace
}  // namespace pim::ical
