// A data home that travels: the store opened in other zones shows every item at its moment,
// leaves floating times alone, changes nothing the user did not change, and writes back the
// times as they were read.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "store/schedule_store.h"
#include "tests/store/store_fixture.h"
#include "tests/support/temp_folder.h"

namespace store {
namespace {

constexpr std::string_view kShared = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//Elsewhere//EN
BEGIN:VEVENT
UID:utc@test
SUMMARY:UTC call
DTSTART:20261221T010000Z
DTEND:20261221T020000Z
END:VEVENT
BEGIN:VEVENT
UID:ny@test
SUMMARY:New York call
DTSTART;TZID=America/New_York:20261220T190000
DTEND;TZID=America/New_York:20261220T200000
END:VEVENT
BEGIN:VEVENT
UID:floating@test
SUMMARY:Lunch wherever I am
DTSTART:20261211T120000
DTEND:20261211T130000
END:VEVENT
BEGIN:VEVENT
UID:day@test
SUMMARY:Holiday
DTSTART;VALUE=DATE:20261224
DTEND;VALUE=DATE:20261225
END:VEVENT
BEGIN:VEVENT
UID:weekly@test
SUMMARY:Berlin stand-up
DTSTART;TZID=Europe/Berlin:20261207T090000
DTEND;TZID=Europe/Berlin:20261207T091500
RRULE:FREQ=WEEKLY;BYDAY=MO;COUNT=3
END:VEVENT
BEGIN:VTODO
UID:task@test
SUMMARY:Report
DUE;TZID=America/New_York:20261218T170000
END:VTODO
END:VCALENDAR
)";

std::string Crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class TravellingStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.Made());
        Open("Asia/Tokyo");
    }
    void TearDown() override { app_.LogOff(); }

    // The planner started in another zone.
    void Open(const char* zone) {
        app_.LogOff();
        setenv("TZ", zone, 1);
        tzset();
        ASSERT_TRUE(app_.LogOn(folder_.Path() / "schedule.sqlite").ok());
    }

    void ImportShared() { ImportText(kShared); }

    // Every item of the calendar text saved by its UID, as an import saves them.
    void ImportText(std::string_view text) {
        auto calendar = calendar::ParseICalendar(Crlf(text));
        ASSERT_TRUE(calendar.ok());
        std::vector<IncomingAppointment> appointments;
        for (calendar::AppointmentRecord& record : calendar->appointments) {
            appointments.push_back({std::move(record), calendar::ItemFields::All()});
        }
        std::vector<IncomingTask> tasks;
        for (calendar::TaskRecord& record : calendar->tasks) {
            tasks.push_back({std::move(record), calendar::ItemFields::All()});
        }
        ASSERT_TRUE(app_.SaveByUid(std::move(appointments), std::move(tasks)).ok());
    }

    const calendar::AppointmentRecord& Item(const std::string& uid) {
        auto all = app_.AllAppointments();
        EXPECT_TRUE(all.ok());
        appointments_ = all.ok() ? *all : std::vector<calendar::AppointmentRecord>{};
        for (const calendar::AppointmentRecord& record : appointments_) {
            if (record.uid == uid) {
                return record;
            }
        }
        ADD_FAILURE() << "no item " << uid;
        static const calendar::AppointmentRecord none;
        return none;
    }

    Date DueOfTheTask() {
        auto tasks = app_.AllTasks();
        EXPECT_TRUE(tasks.ok() && tasks->size() == 1);
        return tasks.ok() && !tasks->empty() ? tasks->front().dueDate : 0;
    }

    // Starts of the series' occurrences in December, on the local clock.
    std::vector<Date> StandUps() {
        auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
        EXPECT_TRUE(items.ok());
        items->SetIncludeRecurrences(true);
        EXPECT_TRUE(items->Sort(u"[Start]").ok());
        auto december = items->Restrict(uR"([Start] >= "2026/12/1" and [Start] <= "2026/12/31")");
        EXPECT_TRUE(december.ok());
        std::vector<Date> starts;
        const auto counted = december->Count();
        const int32_t count = counted.ok() ? *counted : 0;
        for (int32_t i = 1; i <= count; ++i) {
            auto item = december->AppointmentAt(i);
            if (item.ok() && item->Uid() == "weekly@test") {
                starts.push_back(item->Start());
            }
        }
        return starts;
    }

    std::vector<calendar::SyncEntry> Entries() {
        auto entries = app_.SyncEntries();
        EXPECT_TRUE(entries.ok());
        return entries.ok() ? *entries : std::vector<calendar::SyncEntry>{};
    }

    std::string Exported() {
        auto appointments = app_.AllAppointments();
        auto tasks = app_.AllTasks();
        EXPECT_TRUE(appointments.ok() && tasks.ok());
        platform::CalendarFields now;
        now.Year = 2026;
        now.Month = 12;
        now.Day = 7;
        return calendar::WriteICalendar(*appointments, *tasks, platform::FixedClock(now));
    }

    testing_support::TempFolder folder_;
    Application app_;
    std::vector<calendar::AppointmentRecord> appointments_;
};

TEST_F(TravellingStoreTest, EveryItemKeepsItsMomentInEveryZoneAndNothingIsMarkedChanged) {
    ImportShared();
    Appointment madeHere =
        app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->AddAppointment();
    madeHere.SetSubject(u"東京で作った");
    madeHere.SetStart(At(2026, 12, 15, 15));
    madeHere.SetEnd(At(2026, 12, 15, 16));
    ASSERT_TRUE(madeHere.Save().ok());
    const std::string madeHereUid = madeHere.Uid();

    EXPECT_EQ(Item("utc@test").start, At(2026, 12, 21, 10));
    EXPECT_EQ(Item("ny@test").start, At(2026, 12, 21, 9));
    const std::vector<calendar::SyncEntry> entries = Entries();
    const std::string exported = Exported();

    Open("America/New_York");
    EXPECT_EQ(Item("utc@test").start, At(2026, 12, 20, 20));
    EXPECT_EQ(Item("ny@test").start, At(2026, 12, 20, 19));
    EXPECT_EQ(Item("ny@test").end, At(2026, 12, 20, 20));
    EXPECT_EQ(Item("floating@test").start, At(2026, 12, 11, 12));
    EXPECT_EQ(Item("day@test").start, At(2026, 12, 24));
    EXPECT_EQ(Item(madeHereUid).start, At(2026, 12, 15, 1));
    EXPECT_EQ(DueOfTheTask(), At(2026, 12, 18, 17));
    EXPECT_EQ(StandUps(),
              (std::vector<Date>{At(2026, 12, 7, 3), At(2026, 12, 14, 3), At(2026, 12, 21, 3)}));

    Open("Europe/London");
    EXPECT_EQ(Item("utc@test").start, At(2026, 12, 21, 1));
    EXPECT_EQ(Item("floating@test").start, At(2026, 12, 11, 12));
    EXPECT_EQ(Item(madeHereUid).end, At(2026, 12, 15, 7));
    EXPECT_EQ(DueOfTheTask(), At(2026, 12, 18, 22));
    EXPECT_EQ(StandUps(),
              (std::vector<Date>{At(2026, 12, 7, 8), At(2026, 12, 14, 8), At(2026, 12, 21, 8)}));

    Open("Asia/Tokyo");
    EXPECT_EQ(Item("utc@test").start, At(2026, 12, 21, 10));
    EXPECT_EQ(Item(madeHereUid).start, At(2026, 12, 15, 15));
    EXPECT_EQ(StandUps(),
              (std::vector<Date>{At(2026, 12, 7, 17), At(2026, 12, 14, 17), At(2026, 12, 21, 17)}));
    // Following the zone is no change of the user's: nothing is to be sent, nothing reads
    // differently.
    EXPECT_EQ(Entries(), entries);
    EXPECT_EQ(Exported(), exported);
}

TEST_F(TravellingStoreTest, AnEditElsewhereWritesBackTheTimesItDidNotChangeAsTheyWereRead) {
    ImportShared();
    Open("America/New_York");
    for (const char* uid : {"utc@test", "ny@test", "floating@test", "weekly@test"}) {
        Appointment item = *app_.GetAppointmentFromOid(Item(uid).oid);
        item.SetSubject(u"件名だけ変えた");
        ASSERT_TRUE(item.Save().ok());
    }
    Task task = *app_.GetTaskFromOid(app_.AllTasks()->front().oid);
    task.SetComplete(kTrue, At(2026, 12, 19));
    ASSERT_TRUE(task.Save().ok());

    const std::vector<std::string> written = LinesOf(Exported());
    for (const std::string& line : LinesOf(Crlf(kShared))) {
        if (line.rfind("DT", 0) == 0 || line.rfind("DUE", 0) == 0) {
            EXPECT_TRUE(Has(written, line)) << line;
        }
    }
    EXPECT_TRUE(Has(written, "TZID:America/New_York"));

    // A time changed here is written in the item's own zone.
    Appointment moved = *app_.GetAppointmentFromOid(Item("ny@test").oid);
    moved.SetStart(At(2026, 12, 20, 18));
    ASSERT_TRUE(moved.Save().ok());
    Open("Europe/London");
    EXPECT_TRUE(Has(LinesOf(Exported()), "DTSTART;TZID=America/New_York:20261220T180000"));
}

TEST_F(TravellingStoreTest, ItemsMadeHereTakeTheZoneInForce) {
    Appointment meeting = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->AddAppointment();
    meeting.SetSubject(u"会議");
    meeting.SetStart(At(2026, 12, 9, 10));
    meeting.SetEnd(At(2026, 12, 9, 11));
    ASSERT_TRUE(meeting.Save().ok());
    Task task = app_.GetDefaultFolder(FolderKind::Tasks)->GetItems()->AddTask();
    task.SetSubject(u"日付だけ");
    task.SetDueDate(At(2026, 12, 10));
    ASSERT_TRUE(task.Save().ok());

    const std::vector<std::string> written = LinesOf(Exported());
    EXPECT_TRUE(Has(written, "DTSTART;TZID=Asia/Tokyo:20261209T100000"));
    EXPECT_TRUE(Has(written, "DTEND;TZID=Asia/Tokyo:20261209T110000"));
    EXPECT_TRUE(Has(written, "TZID:Asia/Tokyo"));
    EXPECT_TRUE(Has(written, "DUE;VALUE=DATE:20261210"));
}

// A zone only the calendar defines (a name no system knows) is kept with the items that use
// it: read back, walked in a series and in a task's due date, and written out again; items in a
// zone the system knows carry no definition of their own.
TEST_F(TravellingStoreTest, AZoneTheCalendarDefinesItselfIsReadBackWithItsItems) {
    constexpr std::string_view kOwnZone = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//Elsewhere//EN
BEGIN:VTIMEZONE
TZID:Office Time
BEGIN:STANDARD
TZOFFSETFROM:+0300
TZOFFSETTO:+0300
DTSTART:19700101T000000
END:STANDARD
END:VTIMEZONE
BEGIN:VEVENT
UID:office@test
SUMMARY:Office stand-up
DTSTART;TZID=Office Time:20261207T090000
DTEND;TZID=Office Time:20261207T091500
RRULE:FREQ=WEEKLY;COUNT=2
END:VEVENT
BEGIN:VEVENT
UID:known@test
SUMMARY:Berlin call
DTSTART;TZID=Europe/Berlin:20261208T090000
DTEND;TZID=Europe/Berlin:20261208T100000
END:VEVENT
BEGIN:VTODO
UID:office-task@test
SUMMARY:Office report
DUE;TZID=Office Time:20261218T170000
END:VTODO
END:VCALENDAR
)";
    ImportText(kOwnZone);
    Open("Asia/Tokyo");

    const calendar::AppointmentRecord office = Item("office@test");
    EXPECT_EQ(office.zone.tzid, "Office Time");
    EXPECT_NE(office.zone.definition.find("TZOFFSETTO:+0300"), std::string::npos);
    EXPECT_TRUE(Item("known@test").zone.definition.empty());
    auto allTasks = app_.AllTasks();
    ASSERT_TRUE(allTasks.ok() && allTasks->size() == 1);
    EXPECT_NE(allTasks->front().dueZone.definition.find("TZOFFSETTO:+0300"), std::string::npos);
    // 17:00 at +03:00 is 23:00 in Tokyo.
    EXPECT_EQ(allTasks->front().dueDate, At(2026, 12, 18, 23));

    // The series' occurrences, found by a window query (whole, and for the marks alone), walk
    // its zone: 09:00 at +03:00 is 15:00 in Tokyo.
    for (const AppointmentParts parts :
         {AppointmentParts::Whole, AppointmentParts::TimesAndMarks}) {
        auto items = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems();
        items->SetIncludeRecurrences(true);
        items->SetAppointmentParts(parts);
        auto week = items->Restrict(uR"([Start] >= "2026/12/14" and [Start] <= "2026/12/14")");
        ASSERT_TRUE(week.ok());
        ASSERT_EQ(*week->Count(), 1);
        EXPECT_EQ(week->AppointmentAt(1)->Start(), At(2026, 12, 14, 15));
        EXPECT_NE(week->AppointmentAt(1)->Record().zone.definition.find("TZOFFSETTO:+0300"),
                  std::string::npos);
    }

    const std::vector<std::string> written = LinesOf(Exported());
    EXPECT_TRUE(Has(written, "TZID:Office Time"));
    EXPECT_TRUE(Has(written, "DTSTART;TZID=Office Time:20261207T090000"));
}

TEST_F(TravellingStoreTest, AStoreOfAnEarlierVersionTakesTheZoneInForceAndLosesNothing) {
    Appointment meeting = app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->AddAppointment();
    meeting.SetSubject(u"会議");
    meeting.SetStart(At(2026, 12, 9, 10));
    meeting.SetEnd(At(2026, 12, 9, 11));
    ASSERT_TRUE(meeting.Save().ok());
    ImportShared();
    const std::vector<calendar::SyncEntry> entries = Entries();
    app_.LogOff();
    // The store as the version before kept it: local times alone, no zone of a single item.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder_.Path() / "schedule.sqlite").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "UPDATE appointments SET tzid = '' WHERE recurring = 0;"
                           "ALTER TABLE appointments DROP COLUMN zone_end;"
                           "ALTER TABLE appointments DROP COLUMN zone_definition;"
                           "ALTER TABLE occurrence_changes DROP COLUMN zone_start;"
                           "ALTER TABLE occurrence_changes DROP COLUMN zone_end;"
                           "ALTER TABLE tasks DROP COLUMN due_tzid;"
                           "ALTER TABLE tasks DROP COLUMN zone_due;"
                           "ALTER TABLE tasks DROP COLUMN due_definition;"
                           "DROP TABLE zone_definitions;"
                           "DELETE FROM store_info WHERE key = 'axis_zone';"
                           "PRAGMA user_version = 5",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);

    Open("Asia/Tokyo");
    EXPECT_EQ(Item(meeting.Uid()).start, At(2026, 12, 9, 10));
    EXPECT_EQ(Item(meeting.Uid()).zone.tzid, "Asia/Tokyo");
    EXPECT_EQ(Item("ny@test").start, At(2026, 12, 21, 9));
    // The earlier store did not tell floating times from others: all are taken as Tokyo's.
    EXPECT_EQ(Item("floating@test").zone.tzid, "Asia/Tokyo");
    EXPECT_EQ(DueOfTheTask(), At(2026, 12, 19, 7));
    EXPECT_EQ(StandUps(),
              (std::vector<Date>{At(2026, 12, 7, 17), At(2026, 12, 14, 17), At(2026, 12, 21, 17)}));
    EXPECT_EQ(Entries(), entries);
    // Now they travel as any item does.
    Open("Europe/London");
    EXPECT_EQ(Item(meeting.Uid()).start, At(2026, 12, 9, 1));
    EXPECT_EQ(Item("ny@test").start, At(2026, 12, 21, 0));
    EXPECT_EQ(Item("floating@test").start, At(2026, 12, 11, 3));
}

TEST_F(TravellingStoreTest, RemindersThatRangAreStillKnownInTheNewZone) {
    FiredReminder rung;
    rung.oid = 7;
    rung.ringAt = At(2026, 12, 9, 9, 50);
    rung.firedAt = At(2026, 12, 9, 9, 50);
    ASSERT_TRUE(app_.ClaimReminders({rung}, At(2026, 12, 1)).ok());
    Open("America/New_York");
    auto fired = app_.FiredRemindersFrom(At(2026, 12, 1));
    ASSERT_TRUE(fired.ok());
    ASSERT_EQ(fired->size(), 1u);
    EXPECT_EQ(fired->front().ringAt, At(2026, 12, 8, 19, 50));
    // The same reminder, due again by the new clock, is not claimed twice.
    rung.ringAt = At(2026, 12, 8, 19, 50);
    auto claimed = app_.ClaimReminders({rung}, At(2026, 12, 1));
    ASSERT_TRUE(claimed.ok());
    EXPECT_EQ(*claimed, std::vector<bool>{false});
}

}  // namespace
}  // namespace store
