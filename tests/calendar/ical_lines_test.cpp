// The text layer of iCalendar files: content lines, folding, escaping and components.
#include "calendar/ical_lines.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace calendar::ical {
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
    // Only a text that begins with no BEGIN line is no calendar at all.
    EXPECT_EQ(ReadContentLines("Dear Hanako,\nsee you.\n").error().message,
              "line 1: not an iCalendar file: it must begin with BEGIN:VCALENDAR");
    EXPECT_EQ(ReadContentLines("").error().message,
              "line 1: not an iCalendar file: it must begin with BEGIN:VCALENDAR");
    EXPECT_TRUE(ReadContentLines("BEGIN:VEVENT\nEND:VEVENT\n").ok());
}

TEST(ICalLines, ALineThatCannotBeReadIsKeptWithItsProblem) {
    const auto lines = ReadContentLines(
        "BEGIN:VCALENDAR\nX:\x01\nSUMMARY no colon\nZ:a\n \x02"
        "b\nX;P:1\nOK:1\n");
    ASSERT_TRUE(lines.ok());
    ASSERT_EQ(lines->size(), 6u);
    const std::vector<std::pair<int, std::string>> expected = {
        {2, "the line holds a control character"},
        {3, "content line has no ':'"},             // no fold: the line before it is broken
        {4, "the line holds a control character"},  // in its continuation
        {6, "parameter P of X has no '='"},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*lines)[i + 1].line, expected[i].first);
        EXPECT_EQ((*lines)[i + 1].problem, expected[i].second);
        EXPECT_EQ((*lines)[i + 1].name, "");
    }
    EXPECT_EQ((*lines)[5].name, "OK");
    EXPECT_EQ((*lines)[5].problem, "");
}

// What other programs get wrong in a line that can still be read: bytes that are not UTF-8, a
// fold without its space, a ';' left unquoted in a parameter of their own.
TEST(ICalLines, LinesOtherProgramsBrokeAreReadAndSaySo) {
    const auto lines = ReadContentLines(
        "BEGIN:VCALENDAR\nSUMMARY:Caf\xe9 \xff!\nDESCRIPTION:a fold with\nout its space\n"
        "BEGIN:VEVENT\nplain after BEGIN\n"
        "X-APPLE-STRUCTURED-LOCATION;VALUE=URI;X-ADDRESS=1-9-1 Marunouchi; Chiyoda;"
        "X-TITLE=Tokyo:geo:35.6,139.7\nEND:VEVENT\n");
    ASSERT_TRUE(lines.ok());
    ASSERT_EQ(lines->size(), 7u);
    EXPECT_EQ((*lines)[1].value(), "Caf\uFFFD \uFFFD!");
    EXPECT_EQ((*lines)[1].mended, "bytes that are not UTF-8 text are read as U+FFFD");
    EXPECT_EQ((*lines)[2].value(), "a fold without its space");
    EXPECT_EQ((*lines)[2].mended,
              "line 4 is read as its continuation, folded without the space folding needs");
    // Nothing to continue right after a BEGIN: that line stays broken.
    EXPECT_EQ((*lines)[4].problem, "content line has no ':'");
    const ContentLine& located = (*lines)[5];
    EXPECT_EQ(located.problem, "");
    EXPECT_EQ(located.mended, "");
    ASSERT_NE(located.FindParameter("X-ADDRESS"), nullptr);
    EXPECT_EQ(*located.FindParameter("X-ADDRESS"), "1-9-1 Marunouchi; Chiyoda");
    EXPECT_EQ(*located.FindParameter("X-TITLE"), "Tokyo");
    EXPECT_EQ(located.value(), "geo:35.6,139.7");

    // A long name folded before its ':' is not a plain line: the memo before it stays whole.
    const auto folded =
        ReadContentLines("BEGIN:VCALENDAR\nDESCRIPTION:memo\nX-A-VERY-LONG-NAME\n -FOLDED:v\n");
    ASSERT_TRUE(folded.ok());
    ASSERT_EQ(folded->size(), 3u);
    EXPECT_EQ((*folded)[1].value(), "memo");
    EXPECT_EQ((*folded)[2].name, "X-A-VERY-LONG-NAME-FOLDED");
}

// The components of a text, and what was found outside them, in one line each.
std::string Outline(const char* text) {
    auto lines = ReadContentLines(text);
    if (!lines.ok()) {
        return lines.error().message;
    }
    auto file = BuildComponents(std::move(lines).value());
    if (!file.ok()) {
        return file.error().message;
    }
    std::string out;
    std::function<void(const Component&, int)> describe = [&](const Component& c, int depth) {
        out += std::string(depth * 2, ' ') + c.name + "@" + std::to_string(c.beginLine);
        for (const Problem& problem : c.problems) {
            out += " [" + std::to_string(problem.line) + ": " + problem.what + "]";
        }
        for (const Problem& broken : c.brokenLines) {
            out += " {" + std::to_string(broken.line) + ": " + broken.what + "}";
        }
        out += "\n";
        for (const Component& child : c.children) {
            describe(child, depth + 1);
        }
    };
    for (const Component& calendar : file->calendars) {
        describe(calendar, 0);
    }
    for (const Problem& problem : file->outside) {
        out += "outside " + std::to_string(problem.line) + "-" + std::to_string(problem.lastLine) +
               ": " + problem.what + "\n";
    }
    return out;
}

TEST(ICalLines, BrokenStructureIsMendedAroundWhatIsWhole) {
    // Bare components get a calendar of their own, which ends where a written one begins.
    EXPECT_EQ(Outline("BEGIN:VEVENT\nEND:VEVENT\nBEGIN:VTODO\nEND:VTODO\n"
                      "BEGIN:VCALENDAR\nBEGIN:VEVENT\nEND:VEVENT\nEND:VCALENDAR\n"),
              "VCALENDAR@1\n  VEVENT@1\n  VTODO@3\nVCALENDAR@5\n  VEVENT@6\n");
    // An END for something else is passed over; the component it stood in is marked.
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nBEGIN:VEVENT\nEND:VTODO\nEND:VEVENT\n"
                      "BEGIN:VEVENT\nEND:VEVENT\nEND:VCALENDAR\n"),
              "VCALENDAR@1\n  VEVENT@2 [3: END:VTODO does not close BEGIN:VEVENT of line 2]\n"
              "  VEVENT@5\n");
    // An END of an outer component closes the ones left open inside it.
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nBEGIN:VEVENT\nBEGIN:VALARM\nEND:VEVENT\n"
                      "END:VCALENDAR\n"),
              "VCALENDAR@1\n  VEVENT@2\n    VALARM@3 [4: END:VEVENT does not close BEGIN:VALARM "
              "of line 3]\n");
    // A file cut short: everything still open is closed at its end.
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nBEGIN:VEVENT\nEND:VEVENT\nBEGIN:VEVENT\nSUMMARY:x\n"),
              "VCALENDAR@1\n  VEVENT@2\n  VEVENT@4 [4: BEGIN:VEVENT is never closed]\n");
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nBEGIN:VEVENT\nEND:VEVENT\n"),
              "VCALENDAR@1 [1: BEGIN:VCALENDAR is never closed]\n  VEVENT@2\n");
    // Text after the calendar is one run of stray lines, however it is broken.
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nEND:VCALENDAR\nSUMMARY:x\n--\n\nbye\nEND:VEVENT\n"),
              "VCALENDAR@1\noutside 3-7: SUMMARY after END:VCALENDAR\n");
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nEND:VCALENDAR\n--\nBEGIN:VCALENDAR\nEND:VCALENDAR\n"
                      "END:VTODO\n"),
              "VCALENDAR@1\nVCALENDAR@4\noutside 3-3: text after END:VCALENDAR\n"
              "outside 6-6: END:VTODO without a BEGIN\n");
    // A broken line belongs to the component it stands in, which is whole without it.
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nBEGIN:VEVENT\nBEGIN:VALARM\nX;P:1\nEND:VALARM\n"
                      "END:VEVENT\nEND:VCALENDAR\n"),
              "VCALENDAR@1\n  VEVENT@2\n    VALARM@3 {4: parameter P of X has no '='}\n");
    // An item whose END is misspelt or missing ends where the next component begins; a calendar
    // left open ends where the next calendar begins.
    EXPECT_EQ(Outline("BEGIN:VCALENDAR\nBEGIN:VTODO\nEND:VTOOD\nBEGIN:VEVENT\nEND:VEVENT\n"
                      "BEGIN:VEVENT\nBEGIN:VALARM\nBEGIN:VTODO\nEND:VTODO\nEND:VCALENDAR\n"
                      "BEGIN:VCALENDAR\nBEGIN:VEVENT\nBEGIN:VCALENDAR\nEND:VCALENDAR\n"),
              "VCALENDAR@1\n  VTODO@2 [3: END:VTOOD does not close BEGIN:VTODO of line 2] "
              "[4: BEGIN:VTODO of line 2 is not closed before BEGIN:VEVENT]\n"
              "  VEVENT@4\n"
              "  VEVENT@6 [8: BEGIN:VEVENT of line 6 is not closed before BEGIN:VTODO]\n"
              "    VALARM@7 [8: BEGIN:VALARM of line 7 is not closed before BEGIN:VTODO]\n"
              "  VTODO@8\n"
              "VCALENDAR@11 [13: BEGIN:VCALENDAR of line 11 is not closed before "
              "BEGIN:VCALENDAR]\n"
              "  VEVENT@12 [13: BEGIN:VEVENT of line 12 is not closed before BEGIN:VCALENDAR]\n"
              "VCALENDAR@13\n");
}

TEST(ICalLines, ComponentsNestAndKeepTheirLinesWordForWord) {
    auto lines = ReadContentLines(
        "BEGIN:VCALENDAR\nBEGIN:VEVENT\nSUMMARY:a\nBEGIN:VALARM\nTRIGGER:-PT5M\n"
        "END:VALARM\nEND:VEVENT\nEND:VCALENDAR\n");
    ASSERT_TRUE(lines.ok());
    auto file = BuildComponents(std::move(lines).value());
    ASSERT_TRUE(file.ok()) << file.error().message;
    ASSERT_EQ(file->calendars.size(), 1u);
    const Component& event = file->calendars[0].children.at(0);
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
    deep += "X-INSIDE:1\n";
    for (int i = 0; i < 8; ++i) {
        deep += "END:X-IN\n";
    }
    deep += "BEGIN:VEVENT\nEND:VEVENT\nEND:VCALENDAR\n";
    auto tooDeep = BuildComponents(*ReadContentLines(deep));
    ASSERT_TRUE(tooDeep.ok());
    // The components too deep are passed over to their ENDs; what follows is read.
    const Problem* problem = FirstProblem(tooDeep->calendars[0]);
    ASSERT_NE(problem, nullptr);
    EXPECT_EQ(problem->AsError().message, "line 9: components are nested too deeply");
    EXPECT_EQ(tooDeep->calendars[0].children.back().name, "VEVENT");
    EXPECT_EQ(FirstProblem(tooDeep->calendars[0].children.back()), nullptr);
}

}  // namespace
}  // namespace calendar::ical
