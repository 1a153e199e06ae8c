#include "schedule/ink_file_writer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "schedule/ink_file.h"
#include "tests/editors/editors_fixture.h"

namespace editors {
namespace {

using InkFileWriterTest = EditorsFixture;

TEST_F(InkFileWriterTest, WritesLittleEndianRecordsAndReplacesTheWholeFile) {
    const std::vector<InkEntry> ink = {{-3, 2}, {-2, 3}, {258, 70000}, {-1, -1}, {9, 9}};
    ASSERT_TRUE(
        schedule::WriteInkFile(home_, u"\\My Documents", u"7.dat", std::span(ink).first(4)));
    EXPECT_EQ(InkFile("7.dat"), std::string("\xfd\xff\xff\xff\x02\x00\x00\x00"
                                            "\xfe\xff\xff\xff\x03\x00\x00\x00"
                                            "\x02\x01\x00\x00\x70\x11\x01\x00"
                                            "\xff\xff\xff\xff\xff\xff\xff\xff",
                                            32));
    // A shorter rewrite leaves nothing of the longer file behind, and the day loader reads it.
    ASSERT_TRUE(
        schedule::WriteInkFile(home_, u"\\My Documents", u"7.dat", std::span(ink).first(1)));
    EXPECT_EQ(InkFile("7.dat").size(), 8u);
    std::array<InkEntry, schedule::kMaxInkEntries> read{};
    EXPECT_EQ(schedule::ReadInkFile(home_, u"\\My Documents", u"7.dat", read), 1);
    EXPECT_EQ(read[0], ink[0]);
    // Only names the planner gives its ink files are written or deleted.
    EXPECT_FALSE(schedule::WriteInkFile(home_, u"\\My Documents", u"Subject.DAT", ink));
    WriteBytes(DataFolder() / "notes.dat", "keep");
    EXPECT_FALSE(schedule::DeleteInkFile(home_, u"\\My Documents", u"notes.dat"));
    EXPECT_EQ(ListFolder(DataFolder()), "7.dat notes.dat");
}

TEST_F(InkFileWriterTest, PathsPastTheReadersLimitAreNeverWritten) {
    // "\<folder>\1.dat" of exactly 255 units fits; one more does not.
    std::u16string folder = u"\\d";
    while (folder.size() < 249) {
        folder += folder.size() % 100 == 0 ? u'\\' : u'x';
    }
    const auto fits = schedule::InkFilePath(home_, folder, u"1.dat");
    ASSERT_TRUE(fits);
    EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, folder, reader_), 1);
    EXPECT_TRUE(schedule::WriteInkFile(home_, folder, u"1.dat", Strokes(1, 0)));
    EXPECT_FALSE(schedule::WriteInkFile(home_, folder, u"10.dat", Strokes(1, 0)));
    EXPECT_EQ(ListFolder(fits->parent_path()), "1.dat");
    folder += u'x';
    EXPECT_FALSE(schedule::ClaimFreeInkNumber(home_, folder, reader_));
    EXPECT_FALSE(schedule::WriteInkFile(home_, folder, u"1.dat", Strokes(1, 0)));
    EXPECT_FALSE(std::filesystem::exists(fits->parent_path().string() + "x"));
}

TEST_F(InkFileWriterTest, AClaimTakesTheLowestFreeNumberByCreatingItsFile) {
    WriteBytes(DataFolder() / "1.dat", "x");
    WriteBytes(DataFolder() / "3.dat", "y");
    EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, u"\\My Documents", reader_), 2);
    // Taken at once: an empty file holds the number until the memo's ink is written into it.
    EXPECT_EQ(InkFile("2.dat"), "");
    EXPECT_EQ(testing_support::ModeOf(DataFolder() / "2.dat"), 0600u);
    EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, u"\\My Documents", reader_), 4);
    ASSERT_TRUE(schedule::WriteInkFile(home_, u"\\My Documents", u"2.dat", Strokes(1, 2)));
    EXPECT_EQ(InkFile("2.dat"), schedule::EncodeInkEntries(Strokes(1, 2)));
    // A number given up is free again, and the lowest is taken first.
    ASSERT_TRUE(schedule::DeleteInkFile(home_, u"\\My Documents", u"2.dat"));
    EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, u"\\My Documents", reader_), 2);
    EXPECT_EQ(ListFolder(DataFolder()), "1.dat 2.dat 3.dat 4.dat");
}

// A number whose file was deleted by hand while a stored memo (or a changed occurrence's) still
// names it is not free: a new drawing there would show as the older memo's.
TEST_F(InkFileWriterTest, ANumberAStoredMemoNamesIsNotFreeThoughItsFileIsGone) {
    AddHandwritten(u"1.dat");
    AddHandwritten(u"2.dat\r\ntyped beside the drawing");
    AddAppointment(u"3.dat");  // a text memo that only reads like a name: 3 is free
    WriteBytes(DataFolder() / "4.dat", "x");
    EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, u"\\My Documents", reader_), 3);
    EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, u"\\My Documents", reader_), 5);
    EXPECT_EQ(ListFolder(DataFolder()), "3.dat 4.dat 5.dat");
    auto names = reader_.InkFileNamesInUse();
    ASSERT_TRUE(names.ok());
    EXPECT_EQ(*names, (std::set<std::u16string>{u"1.dat", u"2.dat"}));
}

// A list of claims as a run killed before its store write leaves it.
void LeaveDeadRunsList(const platform::DataHome& home, const std::string& text) {
    const std::filesystem::path folder = home.StorePath().parent_path() / "ink-claims";
    std::filesystem::create_directories(folder);
    WriteBytes(folder / "claims-dead01", text);
}

// At the next start, the files a dead run listed go unless a stored handwritten memo names them
// (a text memo that reads like one does not); the numbers it gave up to another writer, its
// temporaries and a living run's files stay.
TEST_F(InkFileWriterTest, TheNextStartRemovesOnlyWhatADeadRunClaimedAndNeverStored) {
    for (const char* name : {"1.dat", "2.dat", "3.dat", "4.dat", "5.dat", "9.dat"}) {
        WriteBytes(DataFolder() / name, name);
    }
    WriteBytes(DataFolder() / "1.dat.tmp-Ab12Cd", "half");
    AddHandwritten(u"2.dat\r\nstored before the run died");
    AddAppointment(u"1.dat\r\ntyped in another calendar program");
    // 1 and 2 claimed, 3 given up (another writer made it first), 9 listed and not given up,
    // but claimed by a living run too; a last line cut short names nothing.
    LeaveDeadRunsList(home_, "\\My Documents\n1.dat\n2.dat\n3.dat\n-3.dat\n9.dat\n4.d");
    schedule::InkClaimJournal living(home_, u"\\My Documents");
    ASSERT_TRUE(living.Record(u"5.dat"));
    ASSERT_TRUE(living.Record(u"9.dat"));

    schedule::RemoveUnstoredInkFiles(home_, reader_);
    EXPECT_EQ(ListFolder(DataFolder()), "2.dat 3.dat 4.dat 5.dat 9.dat");
    const std::filesystem::path claims = home_.StorePath().parent_path() / "ink-claims";
    ASSERT_EQ(ListFolder(claims).find("claims-dead01"), std::string::npos) << ListFolder(claims);
    // The living run's list stays while it lives, and goes with it.
    EXPECT_NE(ListFolder(claims), "");
    schedule::RemoveUnstoredInkFiles(home_, reader_);
    EXPECT_EQ(ListFolder(DataFolder()), "2.dat 3.dat 4.dat 5.dat 9.dat");
}

TEST_F(InkFileWriterTest, AClaimIsListedBeforeItsFileIsMadeAndTheListGoesWithTheRun) {
    WriteBytes(DataFolder() / "1.dat", "x");
    const std::filesystem::path claims = home_.StorePath().parent_path() / "ink-claims";
    {
        schedule::InkClaimJournal journal(home_, u"\\My Documents");
        EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, u"\\My Documents", reader_, &journal), 2);
        EXPECT_EQ(*schedule::ClaimFreeInkNumber(home_, u"\\My Documents", reader_, &journal), 3);
        const std::string listed = ListFolder(claims);
        ASSERT_EQ(listed.rfind("claims-", 0), 0u) << listed;
        EXPECT_EQ(ReadBytes(claims / listed), "\\My Documents\n2.dat\n3.dat\n");
    }
    EXPECT_EQ(ListFolder(claims), "");
    EXPECT_EQ(ListFolder(DataFolder()), "1.dat 2.dat 3.dat");
}

TEST_F(InkFileWriterTest, ASaveCutShortLeavesTheOldFileWhole) {
    const std::string old = schedule::EncodeInkEntries(Strokes(2, 5));
    ASSERT_TRUE(schedule::WriteInkFile(home_, u"\\My Documents", u"3.dat", Strokes(2, 5)));
    // A crash mid-save leaves at most a temporary beside the file; later saves are not hindered.
    WriteBytes(DataFolder() / "3.dat.tmp-x1Y2z3", old.substr(0, 11));
    // A disk that fills up in the middle of the write.
    platform::Result<void> written;
    {
        FileSizeLimit full(20);
        written = schedule::WriteInkFile(home_, u"\\My Documents", u"3.dat", Strokes(9, 1));
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(InkFile("3.dat"), old);
    EXPECT_EQ(ListFolder(DataFolder()), "3.dat 3.dat.tmp-x1Y2z3");
    ASSERT_TRUE(schedule::WriteInkFile(home_, u"\\My Documents", u"3.dat", Strokes(9, 1)));
    EXPECT_EQ(InkFile("3.dat"), schedule::EncodeInkEntries(Strokes(9, 1)));
}

}  // namespace
}  // namespace editors
