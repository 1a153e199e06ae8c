#include "cli/calendar_commands.h"

#include <gtest/gtest.h>

#include "platform/pim/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace cli {
namespace {

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

constexpr const char* kTwoEvents =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTART:20261207T090000\r\nDTEND:20261207T100000\r\n"
    "SUMMARY:会議\r\nX-KEPT:yes\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:b@test\r\nDTSTART;VALUE=DATE:20261223\r\nSUMMARY:天皇誕生日\r\n"
    "CATEGORIES:祝日\r\nEND:VEVENT\r\n"
    "BEGIN:VTODO\r\nUID:c@test\r\nSUMMARY:買い物\r\nEND:VTODO\r\n"
    "END:VCALENDAR\r\n";

class CalendarCommandsTest : public ::testing::Test {
protected:
    int Count(pim::FolderKind kind) {
        pim::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        return *store.GetDefaultFolder(kind)->GetItems()->Count();
    }

    TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
};

TEST_F(CalendarCommandsTest, ImportThenExportKeepsEveryItem) {
    const auto ics = folder_.Path() / "in.ics";
    WriteBytes(ics, kTwoEvents);
    ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
    EXPECT_EQ(Count(pim::FolderKind::Calendar), 2);
    EXPECT_EQ(Count(pim::FolderKind::Tasks), 1);

    const auto out = folder_.Path() / "out.ics";
    ASSERT_EQ(ExportCalendar(home_, out.string()), 0);
    const std::string exported = ReadBytes(out);
    EXPECT_NE(exported.find("X-KEPT:yes"), std::string::npos);
    EXPECT_NE(exported.find("CATEGORIES:祝日"), std::string::npos);

    // The exported file imports again as the same items.
    ASSERT_EQ(ImportCalendar(home_, out.string()), 0);
    EXPECT_EQ(Count(pim::FolderKind::Calendar), 4);
    EXPECT_EQ(Count(pim::FolderKind::Tasks), 2);
}

TEST_F(CalendarCommandsTest, BrokenFileImportsNothing) {
    std::string broken = kTwoEvents;
    broken.replace(broken.find("DTSTART;VALUE=DATE:20261223"), 27, "DTSTART;VALUE=DATE:2026122X");
    const auto ics = folder_.Path() / "broken.ics";
    WriteBytes(ics, broken);
    EXPECT_NE(ImportCalendar(home_, ics.string()), 0);
    EXPECT_EQ(Count(pim::FolderKind::Calendar), 0);
    EXPECT_EQ(Count(pim::FolderKind::Tasks), 0);
    EXPECT_NE(ImportCalendar(home_, (folder_.Path() / "missing.ics").string()), 0);
}

TEST_F(CalendarCommandsTest, ExportBelowAFileFailsCleanly) {
    const auto notAFolder = folder_.Path() / "plain";
    WriteBytes(notAFolder, "x");
    EXPECT_NE(ExportCalendar(home_, (notAFolder / "out.ics").string()), 0);
    EXPECT_EQ(ReadBytes(notAFolder), "x");
}

}  // namespace
}  // namespace cli
