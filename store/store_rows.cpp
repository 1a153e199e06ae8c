#include "store/store_rows.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace store {

using platform::LinearToDate;

std::string JoinDates(const std::vector<Date>& dates) {
    std::string text;
    char buffer[40];
    for (Date date : dates) {
        std::snprintf(buffer, sizeof buffer, "%.17g", date);
        if (!text.empty()) {
            text += ' ';
        }
        text += buffer;
    }
    return text;
}

std::vector<Date> SplitDates(const std::string& text) {
    std::vector<Date> dates;
    const char* at = text.c_str();
    while (*at != '\0') {
        char* end = nullptr;
        const double date = std::strtod(at, &end);
        if (end == at) {
            break;
        }
        dates.push_back(date);
        at = end;
    }
    return dates;
}

calendar::ItemZone ZoneOfRow(std::string tzid, std::string definition, bool timed) {
    if (!tzid.empty()) {
        return calendar::ItemZone{calendar::ItemZone::Form::Zoned, std::move(tzid),
                                  std::move(definition)};
    }
    return calendar::ItemZone{
        timed ? calendar::ItemZone::Form::Floating : calendar::ItemZone::Form::Unset, {}, {}};
}

calendar::AppointmentRecord ReadAppointment(const Statement& row, AppointmentParts parts) {
    calendar::AppointmentRecord record;
    ReadAppointmentInto(row, parts, record);
    return record;
}

void ReadAppointmentInto(const Statement& row, AppointmentParts parts,
                         calendar::AppointmentRecord& record) {
    record.oid = static_cast<int32_t>(row.Integer(0));
    record.start = LinearToDate(row.Real(1));
    record.end = LinearToDate(row.Real(2));
    record.allDay = row.Integer(3) != 0;
    record.reminderSet = row.Integer(4) != 0;
    if (parts == AppointmentParts::Whole) {
        record.subject = row.Text16(5);
        record.location = row.Text16(6);
        record.body = row.Text16(7);
        record.uid = row.Text(9);
        record.extraProperties = row.Text(10);
    }
    record.categories = row.Text16(8);
    record.recurrence.rule = row.Text(11);
    record.zone = ZoneOfRow(row.Text(12), row.Text(20), !record.allDay);
    record.zoneStart = LinearToDate(row.Real(13));
    record.zoneEnd = LinearToDate(row.Real(19));
    record.recurrence.exceptionDates = SplitDates(row.Text(14));
    record.recurrence.extraDates = SplitDates(row.Text(15));
    record.cancelled = row.Integer(16) != 0;
    record.handwritten = row.Integer(21) != 0;
    record.calendarId = row.Integer(22);
}

void ReadSingleMarks(const Statement& row, calendar::AppointmentRecord& record) {
    record.oid = static_cast<int32_t>(row.Integer(0));
    record.start = LinearToDate(row.Real(1));
    record.end = LinearToDate(row.Real(2));
    record.allDay = row.Integer(3) != 0;
    record.reminderSet = row.Integer(4) != 0;
    record.categories = row.Text16(5);
    record.cancelled = row.Integer(6) != 0;
    record.handwritten = row.Integer(7) != 0;
    record.calendarId = row.Integer(8);
}

calendar::OccurrenceChange ReadChange(const Statement& row) {
    calendar::OccurrenceChange change;
    change.recurrenceId = LinearToDate(row.Real(0));
    change.thisAndFuture = row.Integer(1) != 0;
    change.cancelled = row.Integer(2) != 0;
    change.start = LinearToDate(row.Real(3));
    change.end = LinearToDate(row.Real(4));
    change.allDay = row.Integer(5) != 0;
    change.reminderSet = row.Integer(6) != 0;
    change.subject = row.Text16(7);
    change.location = row.Text16(8);
    change.body = row.Text16(9);
    change.categories = row.Text16(10);
    change.extraProperties = row.Text(11);
    change.zoneStart = LinearToDate(row.Real(12));
    change.zoneEnd = LinearToDate(row.Real(13));
    change.handwritten = row.Integer(14) != 0;
    return change;
}

calendar::TaskRecord ReadTask(const Statement& row) {
    calendar::TaskRecord record;
    record.oid = static_cast<int32_t>(row.Integer(0));
    record.dueDate = LinearToDate(row.Real(1));
    record.dateCompleted = LinearToDate(row.Real(2));
    record.complete = row.Integer(3) != 0;
    record.subject = row.Text16(4);
    record.body = row.Text16(5);
    record.categories = row.Text16(6);
    record.uid = row.Text(7);
    record.extraProperties = row.Text(8);
    record.dueZone = ZoneOfRow(row.Text(9), row.Text(11), record.dueDate != calendar::kNoDateValue);
    record.zoneDue = LinearToDate(row.Real(10));
    record.calendarId = row.Integer(12);
    return record;
}

}  // namespace store
