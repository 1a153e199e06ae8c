#include "schedule/ink_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/schedule/schedule_fixture.h"

namespace schedule {
namespace {

using schedule::InkEntry;
using schedule::kMaxInkEntries;
using testing_support::WriteBytes;

class InkFileTest : public ScheduleFixture {
protected:
    std::string Records(size_t count) {
        std::vector<InkEntry> entries;
        for (size_t i = 0; i < count; ++i) {
            entries.push_back(InkEntry{static_cast<int32_t>(i), static_cast<int32_t>(i % 7)});
        }
        return schedule::EncodeInkEntries(entries);
    }

    int32_t Read(std::u16string_view folder, std::u16string_view name) {
        return ReadInkFile(home_, folder, name, ink_);
    }

    std::array<InkEntry, kMaxInkEntries> ink_{};
};

TEST_F(InkFileTest, WholeRecordsAreReadUpToTheLimit) {
    WriteBytes(DataFolder() / "1.dat", Records(3) + "\x01\x02\x03\x04\x05");
    EXPECT_EQ(Read(u"\\My Documents", u"1.dat"), 3);
    EXPECT_EQ(ink_[2], (InkEntry{2, 2}));

    WriteBytes(DataFolder() / "1999.dat", Records(kMaxInkEntries + 1));
    ink_.fill(InkEntry{-9, -9});
    EXPECT_EQ(Read(u"\\My Documents", u"1999.dat"), static_cast<int32_t>(kMaxInkEntries));
    EXPECT_EQ(ink_.back(), (InkEntry{1999, 1999 % 7}));

    WriteBytes(DataFolder() / "2.dat", "");
    EXPECT_EQ(Read(u"\\My Documents", u"2.dat"), 0);
    EXPECT_EQ(Read(u"\\My Documents", u"3.dat"), 0);  // missing
    // Something that is no file under an ink file's name holds no ink, and is not waited on.
    ASSERT_EQ(mkfifo((DataFolder() / "4.dat").c_str(), 0600), 0);
    std::filesystem::create_directory(DataFolder() / "5.dat");
    EXPECT_EQ(Read(u"\\My Documents", u"4.dat"), 0);
    EXPECT_EQ(Read(u"\\My Documents", u"5.dat"), 0);
    // The folder may end in a separator, or be a host path.
    EXPECT_EQ(Read(u"\\My Documents\\", u"1.dat"), 3);
    const std::string host = DataFolder().string();
    EXPECT_EQ(Read(std::u16string(host.begin(), host.end()), u"1.dat"), 3);
}

TEST_F(InkFileTest, OnlyNamesThePlannerWritesAreOpened) {
    for (const char* name : {"notes.dat", "12.DAT", "12.dat.bak", ".dat", "x12.dat", "1 2.dat"}) {
        WriteBytes(DataFolder() / name, Records(4));
    }
    WriteBytes(home_.DeviceRoot() / "12.dat", Records(4));
    for (const std::u16string_view name :
         {u"notes.dat", u"12.DAT", u"12.dat.bak", u".dat", u"x12.dat", u"1 2.dat", u"../12.dat",
          u"..\\12.dat", u"\\12.dat", u"/12.dat", u"１２.dat", u""}) {
        EXPECT_FALSE(IsInkFileName(name));
        EXPECT_EQ(Read(u"\\My Documents", name), 0);
    }
    EXPECT_TRUE(IsInkFileName(u"0012.dat"));
}

TEST_F(InkFileTest, APathLongerThan255UnitsIsNotOpened) {
    // "\" + folder + "\" + name: 1 + 247 + 1 + 6 = 255 units, the longest still read.
    const std::string folder(247, 'f');
    std::filesystem::create_directories(home_.DeviceRoot() / folder);
    WriteBytes(home_.DeviceRoot() / folder / "12.dat", Records(2));
    WriteBytes(home_.DeviceRoot() / folder / "123.dat", Records(2));
    const std::u16string device = u"\\" + std::u16string(folder.begin(), folder.end());
    EXPECT_EQ(Read(device, u"12.dat"), 2);
    EXPECT_EQ(Read(device, u"123.dat"), 0);
}

}  // namespace
}  // namespace schedule
