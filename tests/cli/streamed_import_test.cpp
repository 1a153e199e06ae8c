// Import and export of calendars larger than one batch: the import is still all or nothing, and
// the export read page by page is the whole store's calendar.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "cli/calendar_commands.h"
#include "cli/home_settings.h"
#include "schedule/calendar_ink.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace cli {
namespace {

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

// Two ink records, as an appointment carries its handwriting in a calendar file.
constexpr const char* kInkAttachment =
    "ATTACH;ENCODING=BASE64;VALUE=BINARY;FMTTYPE=application/x-tessarinth-ink:"
    "AQAAAAIAAAADAAAABAAAAA==\r\n";

// `count` events (the first carrying handwriting, the second updating stored@test), more than
// two batches, then whatever `tail` adds before the calendar ends.
std::string ManyEvents(int count, const std::string& tail) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    for (int i = 0; i < count; ++i) {
        text += "BEGIN:VEVENT\r\nUID:" +
                (i == 1 ? std::string("stored") : "many-" + std::to_string(i)) +
                "@test\r\nDTSTART:20261207T090000Z\r\nSUMMARY:件 " + std::to_string(i) + "\r\n" +
                (i == 0 ? kInkAttachment : "") + "END:VEVENT\r\n";
    }
    return text + tail + "END:VCALENDAR\r\n";
}

class StreamedImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto first = folder_.Path() / "first.ics";
        WriteBytes(first,
                   "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:stored@test\r\n"
                   "DTSTART:20261201T090000Z\r\nSUMMARY:前からある\r\nEND:VEVENT\r\n"
                   "BEGIN:VTODO\r\nUID:task@test\r\nSUMMARY:買い物\r\nEND:VTODO\r\n"
                   "END:VCALENDAR\r\n");
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(ImportCalendar(home_, first.string(), {}, out, err), 0) << err.str();
    }

    // Every row the import could have touched: the items and their sync state.
    struct Rows {
        std::vector<calendar::AppointmentRecord> appointments;
        std::vector<calendar::TaskRecord> tasks;
        std::vector<calendar::SyncEntry> syncEntries;

        bool operator==(const Rows&) const = default;
    };
    Rows StoreRows() {
        store::Application store;
        EXPECT_TRUE(store.LogOn(home_.StorePath()).ok());
        return {*store.AllAppointments(), *store.AllTasks(), *store.SyncEntries()};
    }

    size_t InkFiles() {
        const auto folder = home_.DeviceRoot() / "My Documents";
        if (!std::filesystem::exists(folder)) {
            return 0;
        }
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                 std::filesystem::directory_iterator()));
    }

    TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
};

TEST_F(StreamedImportTest, AStrictImportThatFailsAfterBatchesWereStoredLeavesTheStoreAsItWas) {
    constexpr int kEvents = static_cast<int>(calendar::kStreamBatchItems) * 2 + 500;
    const auto file = folder_.Path() / "many.ics";
    WriteBytes(file, ManyEvents(kEvents, "BEGIN:VEVENT\r\nUID:broken@test\r\nEND:VEVENT\r\n"));
    const Rows before = StoreRows();
    const int brokenLine = 2 + kEvents * 5 + 1 + 1;

    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(
        ImportCalendar(home_, file.string(), {calendar::ImportMode::AllOrNothing, false}, out, err),
        1);
    EXPECT_EQ(err.str(), "tessarinth-cli: import: " + file.string() + ": line " +
                             std::to_string(brokenLine) +
                             ": VEVENT has no DTSTART (nothing was imported)\n");
    EXPECT_TRUE(StoreRows() == before);
    // The handwriting of the first batch went with it.
    EXPECT_EQ(InkFiles(), 0u);

    // Taking what can be taken, the same file stores all but the broken event.
    out.str("");
    err.str("");
    EXPECT_EQ(ImportCalendar(home_, file.string(), {}, out, err), kSomeSkippedStatus);
    EXPECT_EQ(out.str().substr(0, out.str().find(" from ")),
              "imported " + std::to_string(kEvents) + " appointments and 0 tasks");
    EXPECT_NE(out.str().find(": " + std::to_string(kEvents - 1) +
                             " added, 1 updated, 0 "
                             "unchanged; 1 skipped\n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(InkFiles(), 1u);
    store::Application store;
    ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
    const auto stored = store.AppointmentByUid("stored@test");
    ASSERT_TRUE(stored.ok() && stored->has_value());
    EXPECT_EQ((*stored)->subject, u"件 1");
}

TEST_F(StreamedImportTest, AnExportReadPageByPageIsTheWholeStoresCalendar) {
    // A series in a zone given after it, changed in a later batch; many items around it.
    const std::string zoned =
        "BEGIN:VEVENT\r\nUID:zoned@test\r\nDTSTART;TZID=Custom/East:20261201T100000\r\n"
        "RRULE:FREQ=WEEKLY;COUNT=5\r\nSUMMARY:定例\r\nEND:VEVENT\r\n";
    std::string tail;
    for (int i = 0; i < 1200; ++i) {
        tail += "BEGIN:VTODO\r\nUID:todo-" + std::to_string(i) + "@test\r\nSUMMARY:用事\r\n" +
                "END:VTODO\r\n";
    }
    tail +=
        "BEGIN:VEVENT\r\nUID:zoned@test\r\nRECURRENCE-ID;TZID=Custom/East:20261208T100000\r\n"
        "DTSTART;TZID=Custom/East:20261208T150000\r\nSUMMARY:変更\r\nEND:VEVENT\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:Custom/East\r\nBEGIN:STANDARD\r\n"
        "DTSTART:19700101T000000\r\nTZOFFSETFROM:+0930\r\nTZOFFSETTO:+0930\r\n"
        "END:STANDARD\r\nEND:VTIMEZONE\r\n";
    std::string text = ManyEvents(1500, tail);
    text.insert(text.find("BEGIN:VEVENT"), zoned);
    const auto file = folder_.Path() / "many.ics";
    WriteBytes(file, text);
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(ImportCalendar(home_, file.string(), {}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("kept: line "), std::string::npos) << out.str();

    const auto exported = folder_.Path() / "exported.ics";
    WriteBytes(exported, "an older export");
    ASSERT_EQ(ExportCalendar(home_, exported.string()), 0);
    store::Application store;
    ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
    const auto appointments = store.AllAppointments();
    const auto tasks = store.AllTasks();
    ASSERT_TRUE(appointments.ok() && tasks.ok());
    ASSERT_EQ(appointments->size(), 1501u);  // stored@test among them already
    ASSERT_EQ(tasks->size(), 1201u);
    std::ostringstream quiet;
    const std::string whole =
        schedule::CalendarTextWithInk(home_, LoadHomeSettings(home_, quiet).DataPath, *appointments,
                                      *tasks, platform::SystemClock());
    // The same text but for the moment each was written at.
    const auto withoutStamps = [](const std::string& calendar) {
        std::istringstream in(calendar);
        std::string kept;
        for (std::string line; std::getline(in, line);) {
            if (!line.starts_with("DTSTAMP:")) {
                kept += line + "\n";
            }
        }
        return kept;
    };
    const std::string written = ReadBytes(exported);
    EXPECT_NE(written.find("TZID:Custom/East"), std::string::npos);
    EXPECT_LT(written.find("BEGIN:VTIMEZONE"), written.find("BEGIN:VEVENT"));
    EXPECT_EQ(withoutStamps(written), withoutStamps(whole));
}

TEST_F(StreamedImportTest, AnExportThatCannotBePutInPlaceLeavesWhatWasThere) {
    // The name is a folder's: the whole calendar is written beside it, and cannot replace it.
    const auto target = folder_.Path() / "exports";
    std::filesystem::create_directories(target / "inside");
    EXPECT_EQ(ExportCalendar(home_, target.string()), 1);
    EXPECT_TRUE(std::filesystem::is_directory(target / "inside"));
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
            << entry.path();
    }
}

}  // namespace
}  // namespace cli
