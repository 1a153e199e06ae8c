#include "cli/search_command.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/command_support.h"
#include "cli/entry_commands.h"
#include "tests/cli/imported_home.h"

namespace cli {
namespace {

using SearchCommandTest = ImportedHome;

// Object ids follow the import: the four events 1 to 4, then the tasks 5 to 7.
TEST_F(SearchCommandTest, SubjectPlaceMemoAndNotesAreFoundOneLineEach) {
    const std::string meeting = Line({"2026-12-07", "2026-12-07T09:00", "2026-12-07T10:30",
                                      "appointment", "1", "0", "", "0", "会議", "本社 3F"});
    ASSERT_EQ(Run(SearchCommand, {"会議", "--tsv"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), meeting);
    ASSERT_EQ(Run(SearchCommand, {"--tsv", "本社"}), 0);
    EXPECT_EQ(out_.str(), meeting);
    // The meeting's typed memo and the task's notes, in the order of their dates.
    ASSERT_EQ(Run(SearchCommand, {"二行目", "--tsv"}), 0);
    EXPECT_EQ(out_.str(), meeting + Line({"2026-12-09", "2026-12-09T00:00", "2026-12-09T00:00",
                                          "task", "5", "0", "", "0", "請求書", ""}));
    EXPECT_EQ(err_.str(), "");
    // An undated task has no date, and comes last.
    ASSERT_EQ(Run(SearchCommand, {"買い物", "--tsv"}), 0);
    EXPECT_EQ(out_.str(), "\t\t\ttask\t6\t0\t\t0\t買い物\t\n");
}

TEST_F(SearchCommandTest, LatinLettersAreFoundWhateverTheirCaseAndWidth) {
    ASSERT_EQ(Run(AddCommand, {"appointment", "--start", "2026-12-21T10:00", "--end",
                               "2026-12-21T11:00", "--subject", "ＡＢＣ商事"}),
              0);
    ASSERT_EQ(Run(AddCommand, {"task", "--subject", "Call abc", "--due", "2026-12-22"}), 0);
    for (const char* needle : {"abc", "ABC", "ＡＢＣ", "ａｂｃ"}) {
        ASSERT_EQ(Run(SearchCommand, {needle, "--tsv"}), 0) << needle << err_.str();
        EXPECT_EQ(LineCount(out_.str()), 2) << needle << out_.str();
        EXPECT_NE(out_.str().find("\tＡＢＣ商事\t"), std::string::npos) << needle;
        EXPECT_NE(out_.str().find("\tCall abc\t"), std::string::npos) << needle;
    }
    // Kana stay as typed.
    EXPECT_EQ(Run(SearchCommand, {"テイレイ"}), kNothingFoundStatus);
}

TEST_F(SearchCommandTest, ASeriesIsListedOnceWithItsNextOrItsLastDate) {
    // Weekly on Tuesdays at 15:00 from 1 December, four times; today is the 7th.
    ASSERT_EQ(Run(SearchCommand, {"定例", "--tsv"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), Line({"2026-12-08", "2026-12-08T15:00", "2026-12-08T16:00", "appointment",
                                "4", "0", "next", "0", "定例", ""}));
    const platform::FixedClock afterwards{platform::CalendarFields{2027, 1, 1, 4, 8, 0, 0, 0}};
    out_.str("");
    ASSERT_EQ(SearchCommand(home_, {"定例", "--tsv"}, afterwards, out_, err_), 0);
    EXPECT_EQ(out_.str(), Line({"2026-12-22", "2026-12-22T15:00", "2026-12-22T16:00", "appointment",
                                "4", "0", "last", "0", "定例", ""}));
    out_.str("");
    ASSERT_EQ(SearchCommand(home_, {"定例"}, afterwards, out_, err_), 0);
    EXPECT_EQ(out_.str(), "2026-12-22 Tue  15:00-16:00  定例  series: last, none later\n");
}

TEST_F(SearchCommandTest, TheReadableFormShowsDaysTimesAndTexts) {
    ASSERT_EQ(Run(AddCommand, {"appointment", "--start", "2026-12-24T18:00", "--end",
                               "2026-12-24T21:00", "--subject", "忘年会", "--location", "本社"}),
              0);
    ASSERT_EQ(Run(SearchCommand, {"本社"}), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              "2026-12-07 Mon  09:00-10:30  会議    本社 3F\n"
              "2026-12-24 Thu  18:00-21:00  忘年会  本社\n");
    ASSERT_EQ(Run(SearchCommand, {"バス"}), 0);
    EXPECT_EQ(out_.str(), "2026-12-08 Tue  22:00-12-09 02:00  夜行バス\n");
    ASSERT_EQ(Run(SearchCommand, {"連休"}), 0);
    EXPECT_EQ(out_.str(), "2026-12-10 Thu  all day-12-11  連休\n");
    ASSERT_EQ(Run(SearchCommand, {"掃除"}), 0);
    EXPECT_EQ(out_.str(), "no date         task [x]  掃除\n");
    // A text's tabs and line breaks keep it on its line, shown as the other commands show them.
    ASSERT_EQ(Run(AddCommand, {"task", "--subject", "年賀状\t百枚\n\x1b[2J"}), 0);
    ASSERT_EQ(Run(SearchCommand, {"年賀状"}), 0);
    EXPECT_EQ(out_.str(), "no date         task [ ]  年賀状 百枚 / \\x1b[2J\n");
    ASSERT_EQ(Run(SearchCommand, {"年賀状", "--tsv"}), 0);
    EXPECT_EQ(out_.str(), "\t\t\ttask\t9\t0\t\t0\t年賀状\\t百枚\\n\\x1b[2J\t\n");
}

TEST_F(SearchCommandTest, NothingFoundSaysSoWithItsOwnStatus) {
    // The handwritten memo's ink file is no text.
    for (const char* needle : {"歯医者", "7.dat"}) {
        EXPECT_EQ(Run(SearchCommand, {needle}), kNothingFoundStatus) << needle;
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str(),
                  std::string("tessarinth-cli: search: no appointment or task holds \"") + needle +
                      "\"\n");
        EXPECT_EQ(Run(SearchCommand, {needle, "--tsv"}), kNothingFoundStatus);
        EXPECT_EQ(out_.str(), "");
    }
}

TEST_F(SearchCommandTest, ABadCommandLineOrStoreFailsWithOneLine) {
    const std::vector<std::vector<std::string>> bad = {{},
                                                       {"--tsv"},
                                                       {"  \t"},
                                                       {"　"},
                                                       {std::string(256, 'a')},
                                                       {"会議", "本社"},
                                                       {"--limit", "3"},
                                                       {"\xff\xfe"}};
    for (const auto& args : bad) {
        out_.str("");
        err_.str("");
        EXPECT_EQ(SearchCommand(home_, args, clock_, out_, err_), kUsageStatus) << args.size();
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(LineCount(err_.str()), 1) << err_.str();
        EXPECT_TRUE(err_.str().starts_with("tessarinth-cli: search: ")) << err_.str();
    }
    // A text at the limit is taken, spaces around it left out; "--" lets a text begin with "--".
    EXPECT_EQ(Run(SearchCommand, {std::string(255, 'a')}), kNothingFoundStatus);
    EXPECT_EQ(Run(SearchCommand, {" 会議　", "--tsv"}), 0);
    EXPECT_EQ(LineCount(out_.str()), 1);
    EXPECT_EQ(Run(SearchCommand, {"--", "--tsv"}), kNothingFoundStatus);

    testing_support::WriteBytes(home_.StorePath(), std::string(8192, '?'));
    std::filesystem::remove(home_.StorePath().string() + "-wal");
    std::filesystem::remove(home_.StorePath().string() + "-shm");
    EXPECT_EQ(Run(SearchCommand, {"会議"}), kFailureStatus);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(LineCount(err_.str()), 1) << err_.str();
}

}  // namespace
}  // namespace cli
