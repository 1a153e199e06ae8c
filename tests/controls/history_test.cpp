#include "controls/history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/text/unicode_text.h"
#include "tests/support/temp_folder.h"

namespace controls {
namespace {

using Texts = std::vector<std::u16string>;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

HistoryList ListOf(const Texts& texts) {
    HistoryList list;
    for (size_t slot = 0; slot < texts.size(); ++slot) {
        std::copy(texts[slot].begin(), texts[slot].end(), list.slotList[slot].begin());
    }
    return list;
}

Texts Numbered(size_t count) {
    Texts texts;
    for (size_t i = 0; i < count; ++i) {
        texts.push_back(u"件" + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    }
    return texts;
}

std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST(RememberHistoryTextTest, MovesToFrontWithoutDuplicates) {
    HistoryList list = ListOf({u"A", u"B", u"C"});
    RememberHistoryText(list, u"B");
    EXPECT_EQ(list.Texts(), (Texts{u"B", u"A", u"C"}));
    RememberHistoryText(list, u"B");
    EXPECT_EQ(list.Texts(), (Texts{u"B", u"A", u"C"}));
    RememberHistoryText(list, u"D");
    EXPECT_EQ(list.Texts(), (Texts{u"D", u"B", u"A", u"C"}));
}

TEST(RememberHistoryTextTest, FullListDropsOnlyItsLastText) {
    const Texts full = Numbered(kHistorySlotCount);
    HistoryList list = ListOf(full);
    RememberHistoryText(list, u"新");
    Texts expected{u"新"};
    expected.insert(expected.end(), full.begin(), full.end() - 1);
    EXPECT_EQ(list.Texts(), expected);

    list = ListOf(full);
    RememberHistoryText(list, full.back());
    expected = {full.back()};
    expected.insert(expected.end(), full.begin(), full.end() - 1);
    EXPECT_EQ(list.Texts(), expected);
}

TEST(RememberHistoryTextTest, ComparesCaseSensitivelyAndIgnoresEmptyText) {
    HistoryList list = ListOf({u"Meeting"});
    RememberHistoryText(list, u"meeting");
    EXPECT_EQ(list.Texts(), (Texts{u"meeting", u"Meeting"}));
    const std::string before = EncodeHistoryFile(list);
    RememberHistoryText(list, u"");
    RememberHistoryText(list, std::u16string_view(u"\0x", 2));
    EXPECT_EQ(EncodeHistoryFile(list), before);
}

TEST(RememberHistoryTextTest, ShiftStopsAtTheFirstGapAndLongTextsAreCut) {
    HistoryList list = ListOf({u"A", u"", u"B"});
    RememberHistoryText(list, u"C");
    EXPECT_EQ(list.SlotText(0), u"C");
    EXPECT_EQ(list.SlotText(1), u"A");
    EXPECT_EQ(list.SlotText(2), u"B");

    RememberHistoryText(list, std::u16string(300, u'長'));
    EXPECT_EQ(list.SlotText(0), std::u16string(kHistoryTextMaxUnits, u'長'));
    EXPECT_EQ(list.slotList[0][kHistoryTextMaxUnits], 0);
    // A shorter text in the front slot leaves nothing of the longer one behind it.
    RememberHistoryText(list, u"X");
    const std::string bytes = EncodeHistoryFile(list);
    EXPECT_EQ(bytes.substr(0, kHistorySlotBytes), Utf16Le(u"X") + std::string(510, '\0'));
}

TEST(HistoryFileFormTest, SlotsAreLittleEndianAt512ByteSteps) {
    const std::string empty = EncodeHistoryFile(HistoryList{});
    EXPECT_EQ(empty, std::string(kHistoryFileBytes, '\0'));

    const std::string bytes = EncodeHistoryFile(ListOf({u"A", u"予定"}));
    ASSERT_EQ(bytes.size(), 10240u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("A\0\0\0", 4));
    EXPECT_EQ(bytes.substr(512, 6), std::string("\x88\x4E\x9A\x5B\0\0", 6));
    EXPECT_EQ(bytes.substr(1024), std::string(kHistoryFileBytes - 1024, '\0'));
}

TEST(HistoryFileFormTest, ShortFileFillsOnlyTheSlotsItReaches) {
    // 700 bytes: slot 0 whole (a text, then filler that is not read), 188 bytes of slot 1.
    std::string bytes = Utf16Le(u"先頭") + std::string(2, '\0');
    bytes += std::string(kHistorySlotBytes - bytes.size(), 'z');
    bytes += Utf16Le(std::u16string(94, u'b'));
    ASSERT_EQ(bytes.size(), 700u);
    HistoryList list = ListOf(Numbered(kHistorySlotCount));
    DecodeHistoryFile(std::as_bytes(std::span(bytes)), list);
    EXPECT_EQ(list.Texts(), (Texts{u"先頭", std::u16string(94, u'b')}));
    for (size_t slot = 2; slot < kHistorySlotCount; ++slot) {
        EXPECT_EQ(list.slotList[slot][0], 0) << "slot " << slot;
    }
}

TEST(HistoryFileFormTest, SlotWithoutTerminatorEndsAfter255Units) {
    const std::string bytes = Utf16Le(std::u16string(kHistorySlotUnits, u'あ') + u"B");
    HistoryList list;
    DecodeHistoryFile(std::as_bytes(std::span(bytes)), list);
    EXPECT_EQ(list.Texts(), (Texts{std::u16string(255, u'あ'), u"B"}));
}

class HistoryFileTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.Made());
        ASSERT_TRUE(home.EnsureFolders().ok());
    }
    std::filesystem::path File(const char* name) const { return folder / name; }

    testing_support::TempFolder temp;
    platform::DataHome home{temp.Path()};
    std::filesystem::path folder = home.DeviceRoot() / "My Documents";
    std::u16string_view dataFolder = u"\\My Documents";
    HistoryLists lists{ListOf({u"古い件名"}), ListOf({u"古い場所"}), ListOf({u"古いタスク"})};
};

TEST_F(HistoryFileTest, JapaneseTextsSurviveSaveAndLoad) {
    RememberHistoryText(lists.SubjectHistory, u"打ち合わせ 𠮷野家");
    RememberHistoryText(lists.LocationHistory, u"会議室Ｂ");
    RememberHistoryText(lists.TaskHistory, u"報告書を書く");
    ASSERT_TRUE(SaveSubjectLocationHistory(lists, home, dataFolder).ok());
    ASSERT_TRUE(SaveTaskHistory(lists, home, dataFolder).ok());
    EXPECT_EQ(std::filesystem::file_size(File("Location.DAT")), kHistoryFileBytes);

    HistoryLists loaded;
    LoadSubjectLocationHistory(loaded, home, dataFolder);
    LoadTaskHistory(loaded, home, dataFolder);
    EXPECT_EQ(loaded.SubjectHistory.Texts(), (Texts{u"打ち合わせ 𠮷野家", u"古い件名"}));
    EXPECT_EQ(loaded.LocationHistory.Texts(), (Texts{u"会議室Ｂ", u"古い場所"}));
    EXPECT_EQ(loaded.TaskHistory.Texts(), (Texts{u"報告書を書く", u"古いタスク"}));
}

TEST_F(HistoryFileTest, HostPathDataFolderIsJoinedTheHostWay) {
    const std::u16string hostFolder = platform::Utf8ToUtf16Lossy(temp.Path().string());
    ASSERT_TRUE(SaveTaskHistory(lists, home, hostFolder).ok());
    EXPECT_EQ(ReadBytes(temp.Path() / "Task.DAT"), EncodeHistoryFile(lists.TaskHistory));
}

TEST_F(HistoryFileTest, MissingSubjectFileLeavesBothListsEmpty) {
    WriteBytes(File("Location.DAT"), Utf16Le(u"場所"));
    LoadSubjectLocationHistory(lists, home, dataFolder);
    EXPECT_TRUE(lists.SubjectHistory.Texts().empty());
    EXPECT_TRUE(lists.LocationHistory.Texts().empty());

    std::filesystem::create_directory(File("Subject.DAT"));
    LoadSubjectLocationHistory(lists, home, dataFolder);
    EXPECT_TRUE(lists.LocationHistory.Texts().empty());
}

TEST_F(HistoryFileTest, MissingLocationFileKeepsTheSubjects) {
    WriteBytes(File("Subject.DAT"), Utf16Le(u"件名"));
    LoadSubjectLocationHistory(lists, home, dataFolder);
    EXPECT_EQ(lists.SubjectHistory.Texts(), (Texts{u"件名"}));
    EXPECT_TRUE(lists.LocationHistory.Texts().empty());

    LoadTaskHistory(lists, home, dataFolder);
    EXPECT_TRUE(lists.TaskHistory.Texts().empty());
}

TEST_F(HistoryFileTest, SubjectFileThatCannotBeWrittenStopsTheSave) {
    std::filesystem::create_directory(File("Subject.DAT"));
    const platform::Result<void> saved = SaveSubjectLocationHistory(lists, home, dataFolder);
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(saved.error().message.find("Subject.DAT"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(File("Location.DAT")));
    EXPECT_EQ(lists.SubjectHistory.Texts(), (Texts{u"古い件名"}));
}

TEST_F(HistoryFileTest, LeftoverOfAnInterruptedSaveIsHarmless) {
    const std::string old = EncodeHistoryFile(ListOf({u"前回"}));
    WriteBytes(File("Subject.DAT"), old);
    WriteBytes(File("Subject.DAT.tmp-Ab12Cd"), Utf16Le(u"途中"));
    LoadSubjectLocationHistory(lists, home, dataFolder);
    EXPECT_EQ(lists.SubjectHistory.Texts(), (Texts{u"前回"}));

    RememberHistoryText(lists.SubjectHistory, u"今回");
    ASSERT_TRUE(SaveSubjectLocationHistory(lists, home, dataFolder).ok());
    EXPECT_EQ(ReadBytes(File("Subject.DAT")), EncodeHistoryFile(ListOf({u"今回", u"前回"})));
    EXPECT_EQ(testing_support::ListFolder(folder),
              "Location.DAT Subject.DAT Subject.DAT.tmp-Ab12Cd");
}

TEST(HistoryFileFailureTest, FailedReplaceLeavesTheOldFilesWhole) {
    testing_support::WithoutRootPowers ordinaryUser;
    if (!ordinaryUser.PermissionsApply()) {
        GTEST_SKIP() << "permissions do not apply to this process";
    }
    testing_support::TempFolder temp;
    ASSERT_TRUE(temp.Made());
    const platform::DataHome home(temp.Path());
    ASSERT_TRUE(home.EnsureFolders().ok());
    const std::filesystem::path folder = home.DeviceRoot() / "My Documents";
    const std::string oldSubjects = EncodeHistoryFile(ListOf({u"前回"}));
    WriteBytes(folder / "Subject.DAT", oldSubjects);
    WriteBytes(folder / "Location.DAT", Utf16Le(u"場所"));

    HistoryLists lists;
    RememberHistoryText(lists.SubjectHistory, u"今回");
    {
        testing_support::ReadOnlyFolder readOnly(folder);
        EXPECT_FALSE(SaveSubjectLocationHistory(lists, home, u"\\My Documents").ok());
    }
    EXPECT_EQ(ReadBytes(folder / "Subject.DAT"), oldSubjects);
    EXPECT_EQ(ReadBytes(folder / "Location.DAT"), Utf16Le(u"場所"));
    EXPECT_EQ(testing_support::ListFolder(folder), "Location.DAT Subject.DAT");
}

}  // namespace
}  // namespace controls
