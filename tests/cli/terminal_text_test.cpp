#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/agenda_command.h"
#include "cli/calendar_commands.h"
#include "cli/entry_commands.h"
#include "platform/text/unicode_text.h"
#include "tests/cli/imported_home.h"

namespace cli {
namespace {

// The sequences a hostile calendar puts in a subject: set the terminal's title, clear the
// screen, and the same through the C1 control that some terminals read as ESC [.
constexpr std::u16string_view kTitle = u"\x1b]0;pwned\x07";
constexpr std::u16string_view kClear = u"\x1b[2J";
constexpr std::u16string_view kC1 =
    u"\x009b"
    u"2J";

TEST(TerminalText, ControlCharactersAreShownNeverSent) {
    EXPECT_EQ(OneLine(std::u16string(kTitle) + u"会議"), "\\x1b]0;pwned\\x07会議");
    EXPECT_EQ(OneLine(kC1), "\\u009b2J");
    EXPECT_EQ(OneLine(u"a\r\nb\tc\x7f"), "a / b c\\x7f");
    EXPECT_EQ(TsvField(u"C:\\temp\t\x1b[2J\r\n"), "C:\\\\temp\\t\\x1b[2J\\r\\n");
    EXPECT_EQ(TsvField(u"予定\x0085"), "予定\\u0085");
    EXPECT_EQ(Escaped("line 3: \x1b]0;x\x07 \xc2\x9b\n\t\\"),
              "line 3: \\x1b]0;x\\x07 \\u009b\\n\\t\\");
    // What is not UTF-8 cannot sneak a raw C1 byte through.
    EXPECT_EQ(Escaped("a\x9b"
                      "b"),
              "a\xef\xbf\xbd"
              "b");
    // Text without controls is left as it is; the width is the shown text's.
    EXPECT_EQ(Escaped("会議 ✓ café"), "会議 ✓ café");
    EXPECT_EQ(OneLineWidth(u"会議\x1b"), 8u);
}

// Whether a terminal would obey something in the text: a C0 control other than the line feed
// and the tab that separate lines and fields, DEL, or a C1 control in UTF-8.
bool Obeyed(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F) {
            return true;
        }
        if (byte == 0xC2 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            return true;
        }
    }
    return false;
}

using TerminalOutputTest = ImportedHome;

// Subjects, places and memos holding control sequences (typed in, imported or synced) reach no
// output of a text command as they are, and a line break in a subject breaks no list's lines.
TEST_F(TerminalOutputTest, NoTextCommandPrintsAControlSequenceOfAnItem) {
    const std::string title = platform::Utf16ToUtf8Lossy(kTitle);
    const std::string clear = platform::Utf16ToUtf8Lossy(kClear);
    const std::string c1 = platform::Utf16ToUtf8Lossy(kC1);
    ASSERT_EQ(Run(AddCommand, {"appointment", "--start", "2026-12-07T12:00", "--end",
                               "2026-12-07T13:00", "--subject", title + "昼食\n二行目",
                               "--location", clear, "--memo", c1 + "メモ"}),
              0)
        << err_.str();
    ASSERT_EQ(Run(AddCommand, {"task", "--subject", c1 + "買い物"}), 0) << err_.str();
    // Runs one command on clean streams; nothing it printed may be obeyed by a terminal.
    const auto run = [this](const std::function<int()>& command) {
        out_.str("");
        err_.str("");
        const int status = command();
        EXPECT_FALSE(Obeyed(out_.str() + err_.str())) << out_.str() << err_.str();
        return status;
    };
    const auto undo = [this](std::vector<std::string> args) {
        return UndoCommand(home_, args, clock_, store::StepDirection::Back, out_, err_);
    };
    EXPECT_EQ(run([&] { return AgendaCommand(home_, {"2026-12-07"}, clock_, out_, err_); }), 0);
    EXPECT_NE(out_.str().find("\\x1b]0;pwned\\x07昼食 / 二行目"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("\\x1b[2J"), std::string::npos);
    EXPECT_NE(out_.str().find("[ ] \\u009b2J買い物"), std::string::npos);
    EXPECT_EQ(run([&] {
                  return AgendaCommand(home_, {"2026-12-07", "--tsv"}, clock_, out_, err_);
              }),
              0);
    EXPECT_EQ(run([&] { return undo({"--list"}); }), 0);
    // One line for each of the two steps, each of six fields.
    EXPECT_EQ(LineCount(out_.str()), 2);
    std::istringstream lines(out_.str());
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 5) << line;
    }
    EXPECT_EQ(run([&] { return HistoryCommand(home_, {"subject"}, out_, err_); }), 0);
    EXPECT_EQ(run([&] { return undo({}); }), 0);
    EXPECT_EQ(out_.str(), "undone: create \\u009b2J買い物\n");
    // A message quoting what it was given: a file name.
    EXPECT_EQ(
        run([&] {
            return ImportCommand(home_, {"--check", "/nonexistent/" + title + ".ics"}, out_, err_);
        }),
        1);
    EXPECT_NE(err_.str().find("\\x1b]0;pwned\\x07.ics"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace cli
