#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/time/date_time.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace reminders_test {

using platform::Date;

inline Date At(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return *platform::MakeDate(y, m, d, h, mi, s);
}

// An alarm as calendar programs export one, kept with the item as its lines.
inline std::string AlarmLines(const std::string& trigger) {
    return "BEGIN:VALARM\r\nACTION:DISPLAY\r\n" + trigger + "\r\nDESCRIPTION:x\r\nEND:VALARM";
}

// A clock the test moves.
class MovableClock final : public platform::Clock {
public:
    explicit MovableClock(Date now) : now_(now) {}
    void Set(Date now) { now_ = now; }
    platform::CalendarFields LocalTimeNow() const override { return *platform::DateToFields(now_); }

private:
    Date now_;
};

// A store in a fresh folder with a connection of the test's own that writes appointments as
// the editors and the import do.
class ReminderStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        ASSERT_TRUE(folder_.Made());
        ASSERT_TRUE(writer_.LogOn(StorePath()).ok());
    }

    std::filesystem::path StorePath() const { return folder_.Path() / "schedule.sqlite"; }

    calendar::AppointmentRecord Record(Date start, Date end, std::u16string subject,
                                       std::u16string location = u"") {
        calendar::AppointmentRecord record;
        record.start = start;
        record.end = end;
        record.subject = std::move(subject);
        record.location = std::move(location);
        record.reminderSet = true;
        return record;
    }
    int32_t Add(calendar::AppointmentRecord record) {
        auto oids = writer_.AddAll({record}, {});
        EXPECT_TRUE(oids.ok());
        return oids ? oids->front() : 0;
    }
    int32_t AddWeekly(Date start, Date end, std::u16string subject) {
        calendar::AppointmentRecord record = Record(start, end, std::move(subject));
        record.recurrence.rule = "FREQ=WEEKLY";
        record.zoneStart = start;
        return Add(record);
    }
    store::Appointment Stored(int32_t oid) { return *writer_.GetAppointmentFromOid(oid); }

    testing_support::TempFolder folder_;
    store::Application writer_;
};

}  // namespace reminders_test
