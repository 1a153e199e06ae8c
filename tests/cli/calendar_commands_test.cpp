#include "cli/calendar_commands.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

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

// A weekly series at 15:00 whose second occurrence moved to the next morning and whose third
// was cancelled.
constexpr const char* kSeriesWithChanges =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:d@test\r\nDTSTAMP:20261101T000000Z\r\nDTSTART:20261201T150000\r\n"
    "DTEND:20261201T160000\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\nSUMMARY:定例\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:d@test\r\nDTSTAMP:20261101T000000Z\r\nRECURRENCE-ID:20261208T150000\r\n"
    "DTSTART:20261209T090000\r\nDTEND:20261209T100000\r\nSUMMARY:定例\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:d@test\r\nDTSTAMP:20261101T000000Z\r\nRECURRENCE-ID:20261215T150000\r\n"
    "DTSTART:20261215T150000\r\nSUMMARY:定例\r\nSTATUS:CANCELLED\r\nEND:VEVENT\r\n"
    "BEGIN:VJOURNAL\r\nUID:j@test\r\nEND:VJOURNAL\r\n"
    "END:VCALENDAR\r\n";

// What a command prints on standard output while it runs.
class CapturedOutput {
public:
    CapturedOutput() : old_(std::cout.rdbuf(text_.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(old_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* old_;
};

class CalendarCommandsTest : public ::testing::Test {
protected:
    std::vector<int32_t> Oids() {
        pim::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        const auto appointments = store.AllAppointments();
        const auto tasks = store.AllTasks();
        std::vector<int32_t> oids;
        if (!appointments || !tasks) {
            ADD_FAILURE() << "cannot read the store";
            return oids;
        }
        for (const pim::AppointmentRecord& record : *appointments) {
            oids.push_back(record.oid);
        }
        for (const pim::TaskRecord& record : *tasks) {
            oids.push_back(record.oid);
        }
        return oids;
    }

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

    // The exported file imports again as the same items: known by their UIDs, not added twice.
    ASSERT_EQ(ImportCalendar(home_, out.string()), 0);
    EXPECT_EQ(Count(pim::FolderKind::Calendar), 2);
    EXPECT_EQ(Count(pim::FolderKind::Tasks), 1);
}

TEST_F(CalendarCommandsTest, ImportingTheSameFileTwiceChangesNothingButWhatWasEdited) {
    const auto ics = folder_.Path() / "in.ics";
    WriteBytes(ics, kTwoEvents);
    {
        CapturedOutput output;
        ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
        EXPECT_EQ(output.Text().substr(0, output.Text().find('\n')),
                  "imported 2 appointments and 1 tasks from " + ics.string() +
                      ": 3 added, 0 updated, 0 unchanged; 0 skipped");
    }
    const std::vector<int32_t> oids = Oids();
    {
        CapturedOutput output;
        ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
        EXPECT_NE(output.Text().find(": 0 added, 0 updated, 3 unchanged; 0 skipped"),
                  std::string::npos)
            << output.Text();
    }
    EXPECT_EQ(Oids(), oids);

    // Edited in the planner meanwhile, and then in the file: the file's words win, in place.
    {
        pim::Application store;
        ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
        auto meeting = store.GetAppointmentFromOid(oids[0]);
        meeting->SetSubject(u"会議 (書き換え)");
        meeting->SetBody(u"3.dat");
        ASSERT_TRUE(meeting->Save().ok());
    }
    std::string edited = kTwoEvents;
    edited.replace(edited.find("SUMMARY:会議"), 15, "SUMMARY:定例会議");
    WriteBytes(ics, edited);
    {
        CapturedOutput output;
        ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
        EXPECT_NE(output.Text().find(": 0 added, 1 updated, 2 unchanged; 0 skipped"),
                  std::string::npos)
            << output.Text();
    }
    EXPECT_EQ(Oids(), oids);
    pim::Application store;
    ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
    const pim::AppointmentRecord meeting = store.GetAppointmentFromOid(oids[0])->Record();
    EXPECT_EQ(meeting.subject, u"定例会議");
    EXPECT_EQ(meeting.body, u"3.dat");  // the file gives no memo: the handwriting's name stays
    EXPECT_EQ(meeting.uid, "a@test");
}

TEST_F(CalendarCommandsTest, ImportPrintsTheChangedOccurrencesItKept) {
    const auto ics = folder_.Path() / "series.ics";
    WriteBytes(ics, kSeriesWithChanges);
    CapturedOutput output;
    ASSERT_EQ(ImportCalendar(home_, ics.string()), 0);
    EXPECT_EQ(output.Text(),
              "imported 1 appointments and 0 tasks from " + ics.string() +
                  ": 1 added, 0 updated, 0 unchanged; 1 skipped\n"
                  "kept: line 12: 定例 (d@test): the occurrence of 2026-12-08 15:00 moved to "
                  "2026-12-09 09:00\n"
                  "kept: line 20: 定例 (d@test): the occurrence of 2026-12-15 15:00 cancelled\n"
                  "skipped: line 28: VJOURNAL not kept by the planner\n");
    pim::Application store;
    ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
    EXPECT_EQ(store.AllAppointments()->front().recurrence.changes.size(), 2u);
    // Exported again with its changes.
    const auto out = folder_.Path() / "out.ics";
    ASSERT_EQ(ExportCalendar(home_, out.string()), 0);
    const std::string exported = ReadBytes(out);
    EXPECT_NE(exported.find("RECURRENCE-ID:20261208T150000"), std::string::npos);
    EXPECT_NE(exported.find("RECURRENCE-ID:20261215T150000"), std::string::npos);
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
