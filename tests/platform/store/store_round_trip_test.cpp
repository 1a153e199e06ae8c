// Through the store, what is written is what was read: lines a calendar gave on its own go back
// as they came until they are changed here.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ical/ical_io.h"
#include "platform/store/schedule_store.h"
#include "tests/platform/store/store_fixture.h"

namespace pim {
namespace {

std::string SampleCalendar(const char* name) {
    std::ifstream in(std::string(TESSARINTH_CALENDAR_SAMPLES) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

void StoreCalendar(Application& app, const std::string& text) {
    auto calendar = ParseICalendar(text);
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
    return WriteICalendar(*appointments, *tasks, platform::FixedClock(now));
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

class StoreRoundTripTest : public StoreFixture {
protected:
    Appointment StoredAppointment(const std::string& uid) {
        auto all = app_.AllAppointments();
        EXPECT_TRUE(all.ok());
        for (const AppointmentRecord& record : all.ok() ? *all : std::vector<AppointmentRecord>{}) {
            if (record.uid == uid) {
                return *app_.GetAppointmentFromOid(record.oid);
            }
        }
        ADD_FAILURE() << "no appointment " << uid;
        return app_.GetDefaultFolder(FolderKind::Calendar)->GetItems()->AddAppointment();
    }
};

// Categories edited here are written as the planner writes them; another edit leaves the lines
// they came on. A calendar that later gives them on one line replaces the lines kept.
TEST_F(StoreRoundTripTest, CategoriesKeepTheirLinesUntilTheyAreChanged) {
    StoreCalendar(app_, SampleCalendar("written_as_read.ics"));
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
    StoreCalendar(app_,
                  "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:path-zone@example.com\n"
                  "SEQUENCE:5\nDTSTART:20260710T130000Z\nCATEGORIES:Work,Travel\nEND:VEVENT\n"
                  "END:VCALENDAR\n");
    text = StoreAsCalendar(app_);
    EXPECT_TRUE(Holds(text, "CATEGORIES:Work,Travel")) << text;
    EXPECT_FALSE(Holds(text, "CATEGORIES:Travel"));
}

}  // namespace
}  // namespace pim
