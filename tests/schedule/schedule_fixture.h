#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_io.h"
#include "platform/files/data_home.h"
#include "schedule/day_items.h"
#include "schedule/store_session.h"
#include "settings/settings.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace schedule {

// Short names for the kinds of day list rows, so that expected lists read as rows.
inline constexpr DayItemKind E = DayItemKind::EmptyDay;
inline constexpr DayItemKind A = DayItemKind::Appointment;
inline constexpr DayItemKind T = DayItemKind::DatedTask;

inline Date At(int y, int m, int d, int h = 0, int mi = 0) {
    return *platform::MakeDate(y, m, d, h, mi);
}

// A data home in a fresh folder with its store, a writer connection that adds items the way an
// import does, and the session the readers under test use.
class ScheduleFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        ASSERT_TRUE(folder_.Made());
        ASSERT_TRUE(home_.EnsureFolders().ok());
        ASSERT_TRUE(writer_.LogOn(home_.StorePath()).ok());
    }

    int32_t Add(calendar::AppointmentRecord record) {
        if (record.recurrence.recurs() && record.zoneStart == 0) {
            record.zoneStart = record.start;
        }
        auto oids = writer_.AddAll({record}, {});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }

    int32_t AddTimed(Date start, Date end, std::u16string subject = u"予定") {
        calendar::AppointmentRecord record;
        record.start = start;
        record.end = end;
        record.subject = std::move(subject);
        return Add(record);
    }

    // An all-day appointment from its first to its last day, as the store keeps them.
    int32_t AddAllDay(Date firstDay, Date lastDay, std::u16string subject = u"終日",
                      std::u16string categories = u"") {
        calendar::AppointmentRecord record;
        record.start = firstDay;
        record.end = lastDay;
        record.allDay = true;
        record.subject = std::move(subject);
        record.categories = std::move(categories);
        return Add(record);
    }

    int32_t AddTask(std::u16string subject, Date due, bool complete = false,
                    Date completed = calendar::kNoDateValue, std::u16string body = u"") {
        calendar::TaskRecord record;
        record.subject = std::move(subject);
        record.dueDate = due;
        record.complete = complete;
        record.dateCompleted = completed;
        record.body = std::move(body);
        auto oids = writer_.AddAll({}, {record});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }

    // Imports a calendar into `store` as the command line's import does: by UID.
    static void Import(store::Application& store, std::string_view text) {
        auto calendar = calendar::ParseICalendar(text);
        ASSERT_TRUE(calendar.ok()) << calendar.error().message;
        std::vector<store::IncomingAppointment> appointments;
        for (size_t i = 0; i < calendar->appointments.size(); ++i) {
            appointments.push_back({calendar->appointments[i], calendar->appointmentsGive[i]});
        }
        ASSERT_TRUE(store.SaveByUid(appointments, {}).ok());
    }

    std::filesystem::path DataFolder() const { return home_.DeviceRoot() / "My Documents"; }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    store::Application writer_;
    StoreSession session_{home_.StorePath()};
    settings::Settings settings_;
};

}  // namespace schedule
