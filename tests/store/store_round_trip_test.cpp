// Through the store, what is written is what was read: a calendar stored and written back gives
// the same text the second time, lines it gave on its own go back as they came until they are
// changed here, and what is changed here is stamped for other calendar programs (a changed
// occurrence as its series is).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "store/schedule_store.h"
#include "tests/store/store_fixture.h"

namespace store {
namespace {

std::string SampleCalendar(const char* name) {
    std::ifstream in(std::string(TESSARINTH_CALENDAR_SAMPLES) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

void StoreCalendarText(Application& app, const std::string& text) {
    auto calendar = calendar::ParseICalendar(text);
    ASSERT_TRUE(calendar.ok()) << calendar.error().message;
    std::vector<IncomingAppointment> appointments;
    for (size_t i = 0; i < calendar->appointments.size(); ++i) {
        appointments.push_back({calendar->appointments[i], calendar->appointmentsGive[i]});
    }
    std::vector<IncomingTask> tasks;
    for (size_t i = 0; i < calendar->tasks.size(); ++i) {
        tasks.push_back({calendar->tasks[i], calendar->tasksGive[i]});
    }
    ASSERT_TRUE(app.SaveByUid(std::move(appointments), std::move(tasks)).ok());
}

std::string StoreAsCalendar(const Application& app) {
    auto appointments = app.AllAppointments();
    auto tasks = app.AllTasks();
    EXPECT_TRUE(appointments.ok() && tasks.ok());
    if (!appointments.ok() || !tasks.ok()) {
        return {};
    }
    platform::CalendarFields now;
    now.Year = 2026;
    now.Month = 12;
    now.Day = 7;
    now.Hour = 12;
    return calendar::WriteICalendar(*appointments, *tasks, platform::FixedClock(now));
}

// How often a text holds a content line (not folded), and whether it holds it.
size_t CountLine(const std::string& text, const std::string& line) {
    const std::string wanted = "\r\n" + line + "\r\n";
    size_t count = 0;
    for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1)) {
        ++count;
    }
    return count;
}

bool Holds(const std::string& text, const std::string& line) {
    return CountLine(text, line) > 0;
}

// The value of the item's own (not an alarm's) kept property, or "" when it has none.
std::string KeptValue(const std::string& kept, const std::string& name) {
    for (const std::string& line : calendar::SplitKeptLines(kept).properties) {
        if (line.rfind(name + ":", 0) == 0) {
            return line.substr(name.size() + 1);
        }
    }
    return {};
}

class StoreRoundTripTest : public StoreFixture {
protected:
    Appointment StoredAppointment(const std::string& uid) {
        auto all = app_.AllAppointments();
        EXPECT_TRUE(all.ok());
        for (const calendar::AppointmentRecord& record :
             all.ok() ? *all : std::vector<calendar::AppointmentRecord>{}) {
            if (record.uid == uid) {
                return *app_.GetAppointmentFromOid(record.oid);
            }
        }
        ADD_FAILURE() << "no appointment " << uid;
        return app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->AddAppointment();
    }

    // A weekly series of the store at SEQUENCE 3, from 10:00 to 11:00 unless said otherwise;
    // SecondWeek changes its second occurrence.
    int32_t AddWeekly(const std::string& uid, int startHour = 10, int endHour = 11) {
        calendar::AppointmentRecord series;
        series.uid = uid;
        series.subject = u"定例";
        series.start = At(2026, 12, 7, startHour);
        series.end = At(2026, 12, 7, endHour);
        series.recurrence.rule = "FREQ=WEEKLY;COUNT=4";
        series.extraProperties = "DTSTAMP:20261101T000000Z\r\nSEQUENCE:3";
        auto oids = app_.AddAll({series}, {});
        EXPECT_TRUE(oids.ok());
        return oids.ok() ? oids->front() : 0;
    }

    static calendar::OccurrenceChange SecondWeek(Date start, Date end, std::u16string subject,
                                                 int startHour = 10) {
        calendar::OccurrenceChange change;
        change.recurrenceId = At(2026, 12, 14, startHour);
        change.start = start;
        change.end = end;
        change.subject = std::move(subject);
        return change;
    }

    calendar::OccurrenceChange StoredChange(int32_t oid) {
        const calendar::AppointmentRecord record = app_.GetAppointmentFromOid(oid)->Record();
        EXPECT_EQ(record.recurrence.changes.size(), 1u);
        return record.recurrence.changes.empty() ? calendar::OccurrenceChange{}
                                                 : record.recurrence.changes.front();
    }
};

// Categories edited here are written as the planner writes them; another edit leaves the lines
// they came on. A calendar that later gives them on one line replaces the lines kept.
TEST_F(StoreRoundTripTest, CategoriesKeepTheirLinesUntilTheyAreChanged) {
    StoreCalendarText(app_, SampleCalendar("written_as_read.ics"));
    Appointment path = StoredAppointment("path-zone@example.com");
    path.SetSubject(u"件名だけ変えた");
    ASSERT_TRUE(path.Save().ok());
    std::string text = StoreAsCalendar(app_);
    EXPECT_TRUE(Holds(text, "CATEGORIES:Work"));
    EXPECT_TRUE(Holds(text, "CATEGORIES:Travel"));

    path = StoredAppointment("path-zone@example.com");
    path.SetCategories(u"Work, Home");
    ASSERT_TRUE(path.Save().ok());
    text = StoreAsCalendar(app_);
    EXPECT_TRUE(Holds(text, "CATEGORIES:Work,Home"));
    EXPECT_FALSE(Holds(text, "CATEGORIES:Work"));
    EXPECT_FALSE(Holds(text, "CATEGORIES:Travel"));

    // The categories it came with again, now on the one line another program writes.
    StoreCalendarText(app_,
                      "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:path-zone@example.com\n"
                      "SEQUENCE:5\nDTSTART:20260710T130000Z\nCATEGORIES:Work,Travel\nEND:VEVENT\n"
                      "END:VCALENDAR\n");
    text = StoreAsCalendar(app_);
    EXPECT_TRUE(Holds(text, "CATEGORIES:Work,Travel")) << text;
    EXPECT_FALSE(Holds(text, "CATEGORIES:Travel"));
}

// A completion kept as it came goes when the task is opened again, and a later completion
// here is written as the moment it is.
TEST_F(StoreRoundTripTest, AKeptCompletionGoesWhenTheTaskIsOpenedAgain) {
    StoreCalendarText(app_, SampleCalendar("written_as_read.ics"));
    auto tasks = app_.AllTasks();
    ASSERT_TRUE(tasks.ok());
    ASSERT_EQ(tasks->size(), 2u);
    Task task = *app_.GetTaskFromOid(tasks->front().oid);
    ASSERT_EQ(task.DateCompleted(), At(2026, 10, 25, 2, 30));
    task.SetComplete(kFalse, At(2026, 12, 7, 9));
    ASSERT_TRUE(task.Save().ok());
    EXPECT_TRUE(KeptValue(task.Record().extraProperties, "COMPLETED").empty());
    task.SetComplete(kTrue, At(2026, 10, 25, 2, 30));
    ASSERT_TRUE(task.Save().ok());
    // The first 02:30 of that night, as the planner's local time reads.
    EXPECT_TRUE(Holds(StoreAsCalendar(app_), "COMPLETED:20261025T003000Z"));
}

// An update from a calendar takes the time lines it comes with: a DTEND or a COMPLETED the
// stored item kept as it came does not outlive an update giving the same times otherwise.
TEST_F(StoreRoundTripTest, AnUpdateTakesTheTimeLinesItComesWith) {
    StoreCalendarText(app_, SampleCalendar("written_as_read.ics"));
    StoreCalendarText(app_,
                      "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:skipped-hour@example.com\n"
                      "DTSTAMP:20261202T000000Z\nDTSTART;TZID=America/New_York:20270314T033000\n"
                      "END:VEVENT\nBEGIN:VTODO\nUID:done-in-tokyo@example.com\n"
                      "DTSTAMP:20261202T000000Z\nCOMPLETED:20261207T093000Z\nEND:VTODO\n"
                      "END:VCALENDAR\n");
    const std::string text = StoreAsCalendar(app_);
    // The changed occurrence of the weekly series still has its own.
    EXPECT_EQ(CountLine(text, "DTEND;TZID=America/New_York:20270314T023000"), 1u) << text;
    EXPECT_TRUE(Holds(text, "COMPLETED:20261207T093000Z")) << text;
    EXPECT_FALSE(Holds(text, "COMPLETED;TZID=Asia/Tokyo:20261207T183000"));
}

// An occurrence changed here on its own carries the stamps other calendar programs decide by:
// LAST-MODIFIED and DTSTAMP, and, when its times changed, a SEQUENCE above the series' (at which
// the occurrence stood) and above its own. A change not touched by an edit keeps its lines.
TEST_F(StoreRoundTripTest, AnOccurrenceChangedHereIsStampedAsItsSeriesIs) {
    const int32_t oid = AddWeekly("weekly@test");
    Appointment series = *app_.GetAppointmentFromOid(oid);
    // Its texts alone: the series' version, stamped.
    series.PutOccurrenceChange(SecondWeek(At(2026, 12, 14, 10), At(2026, 12, 14, 11), u"別室"));
    ASSERT_TRUE(series.Save().ok());
    calendar::OccurrenceChange change = StoredChange(oid);
    EXPECT_EQ(KeptValue(change.extraProperties, "SEQUENCE"), "3") << change.extraProperties;
    EXPECT_FALSE(KeptValue(change.extraProperties, "LAST-MODIFIED").empty());
    EXPECT_EQ(KeptValue(change.extraProperties, "DTSTAMP"),
              KeptValue(change.extraProperties, "LAST-MODIFIED"));

    // Moved: a new version.
    series = *app_.GetAppointmentFromOid(oid);
    change.start = At(2026, 12, 15, 14);
    change.end = At(2026, 12, 15, 15);
    series.PutOccurrenceChange(change);
    ASSERT_TRUE(series.Save().ok());
    change = StoredChange(oid);
    EXPECT_EQ(KeptValue(change.extraProperties, "SEQUENCE"), "4");

    // Its subject again: stamped, the same version.
    series = *app_.GetAppointmentFromOid(oid);
    change.subject = u"別室 (変更)";
    change.extraProperties = calendar::ReplaceKeptProperty(change.extraProperties, "LAST-MODIFIED",
                                                           "LAST-MODIFIED:20200101T000000Z");
    series.PutOccurrenceChange(change);
    ASSERT_TRUE(series.Save().ok());
    change = StoredChange(oid);
    EXPECT_EQ(KeptValue(change.extraProperties, "SEQUENCE"), "4");
    EXPECT_NE(KeptValue(change.extraProperties, "LAST-MODIFIED"), "20200101T000000Z");

    // The series edited, the change left alone: its lines stay as they are.
    series = *app_.GetAppointmentFromOid(oid);
    series.SetLocation(u"本社");
    ASSERT_TRUE(series.Save().ok());
    EXPECT_EQ(StoredChange(oid).extraProperties, change.extraProperties);

    // Written, the change says so.
    const std::string text = StoreAsCalendar(app_);
    EXPECT_TRUE(Holds(text, "SEQUENCE:4")) << text;
    EXPECT_TRUE(Holds(text, "LAST-MODIFIED:" + KeptValue(change.extraProperties, "LAST-MODIFIED")));
}

// Changed for the first time, an occurrence is a new version when it is not what the series
// gives it: longer, at another time, or all day.
TEST_F(StoreRoundTripTest, AnOccurrenceMovedForTheFirstTimeIsANewVersionAtOnce) {
    const int32_t longer = AddWeekly("longer@test");
    Appointment series = *app_.GetAppointmentFromOid(longer);
    series.PutOccurrenceChange(SecondWeek(At(2026, 12, 14, 10), At(2026, 12, 14, 11, 30), u"定例"));
    ASSERT_TRUE(series.Save().ok());
    EXPECT_EQ(KeptValue(StoredChange(longer).extraProperties, "SEQUENCE"), "4");

    const int32_t later = AddWeekly("later@test");
    series = *app_.GetAppointmentFromOid(later);
    series.PutOccurrenceChange(SecondWeek(At(2026, 12, 14, 13), At(2026, 12, 14, 14), u"定例"));
    ASSERT_TRUE(series.Save().ok());
    EXPECT_EQ(KeptValue(StoredChange(later).extraProperties, "SEQUENCE"), "4");

    // A series of moments at midnight, one of them made a whole day.
    const int32_t allDay = AddWeekly("all-day-change@test", 0, 0);
    series = *app_.GetAppointmentFromOid(allDay);
    calendar::OccurrenceChange change = SecondWeek(At(2026, 12, 14), At(2026, 12, 14), u"定例", 0);
    change.allDay = true;
    series.PutOccurrenceChange(change);
    ASSERT_TRUE(series.Save().ok());
    EXPECT_EQ(KeptValue(StoredChange(allDay).extraProperties, "SEQUENCE"), "4");
}

// The calendar of every case, stored in one store, written, stored in another and written
// again: the same text, with the lines it gave on their own as they came.
TEST_F(StoreRoundTripTest, ACalendarStoredAndWrittenTwiceGivesTheSameText) {
    const std::string original = SampleCalendar("written_as_read.ics");
    StoreCalendarText(app_, original);
    const std::string first = StoreAsCalendar(app_);

    testing_support::TempFolder otherFolder;
    ASSERT_TRUE(otherFolder.Made());
    Application other;
    ASSERT_TRUE(other.LogOn(otherFolder.Path() / "schedule.sqlite").ok());
    StoreCalendarText(other, first);
    EXPECT_EQ(StoreAsCalendar(other), first);

    for (const char* line :
         {"CATEGORIES:Work", "CATEGORIES:Travel", "CATEGORIES;LANGUAGE=ja:会議,重要",
          "CATEGORIES:移動", "CATEGORIES:買い物", "DTEND;TZID=America/New_York:20270314T023000",
          "COMPLETED:20261025T013000Z", "COMPLETED;TZID=Asia/Tokyo:20261207T183000",
          "TZID:/softwarestudio.org/Olson_20011030_5/America/New_York"}) {
        EXPECT_TRUE(Holds(first, line)) << line;
    }
    // Stored again from the same file, nothing changes.
    auto again = calendar::ParseICalendar(original);
    ASSERT_TRUE(again.ok());
    std::vector<IncomingAppointment> appointments;
    for (const calendar::AppointmentRecord& record : again->appointments) {
        appointments.push_back({record, calendar::ItemFields::All()});
    }
    auto saved = app_.SaveByUid(std::move(appointments), {});
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Count(UidSaveSummary::Outcome::Unchanged), 3);
}

}  // namespace
}  // namespace store
