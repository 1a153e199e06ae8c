#pragma once

#include <QCalendarWidget>

#include <cstdint>

#include "platform/gui/control.h"

namespace gui {

// A calendar day as the calendar control hands it over.
struct CalendarDay {
    int year = 0;
    int month = 0;  // 1-12
    int day = 0;    // 1-31
    friend bool operator==(const CalendarDay&, const CalendarDay&) = default;
};

// A month calendar: one month, weeks from Sunday, Japanese names, one selected day. The user's
// picking another day notifies SelectionChanged.
class MonthCalendar : public Control {
public:
    MonthCalendar(DeviceScreen& screen, uint16_t id);

    // False (and nothing changes) for a day that does not exist.
    bool SetSelection(const CalendarDay& day);
    // Selects the day as the user's picking it does, so the parent is notified.
    bool Pick(const CalendarDay& day);
    CalendarDay Selection() const;

protected:
    QString StyleSheet(int zoom) const override;

private:
    QCalendarWidget* calendar_;
};

}  // namespace gui
