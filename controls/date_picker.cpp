#include "controls/date_picker.h"

#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/modal_dialog.h"
#include "platform/gui/month_calendar.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"

namespace controls {
namespace {

class DatePickerHandler final : public gui::DialogHandler {
public:
    DatePickerHandler(DatePickerVariant variant, PickedDates& dates)
        : variant_(variant), dates_(dates) {}

    bool OnInitDialog(gui::Dialog& dialog) override {
        gui::InitFullScreenDialog(dialog);
        platform::Date initial =
            variant_ == DatePickerVariant::StartDate ? dates_.start : dates_.end;
        // A task without due date has none to start from: the day the user is looking at.
        if (initial == 0.0) {
            initial = dates_.selectedDate;
        }
        if (auto* calendar = dialog.ItemAs<gui::MonthCalendar>(resources::kDatePickerCalendar)) {
            if (const auto fields = platform::DateToFields(initial)) {
                calendar->SetSelection({fields->Year, fields->Month, fields->Day});
            }
        }
        return true;
    }

    bool OnCommand(gui::Dialog& dialog, uint16_t command) override {
        if (command == resources::kCommandCancel) {
            dialog.End(resources::kCommandCancel);
            return true;
        }
        if (command != resources::kCommandOk) {
            return false;
        }
        if (const auto* calendar =
                dialog.ItemAs<gui::MonthCalendar>(resources::kDatePickerCalendar)) {
            const gui::CalendarDay day = calendar->Selection();
            if (variant_ == DatePickerVariant::StartDate) {
                dates_.start = WithDayOf(dates_.start, day.year, day.month, day.day);
                dates_.end = WithDayOf(dates_.end, day.year, day.month, day.day);
                dates_.selectedDate = WithDayOf(dates_.selectedDate, day.year, day.month, day.day);
            } else {
                dates_.end = WithDayOf(dates_.end, day.year, day.month, day.day);
            }
        }
        dialog.End(resources::kCommandOk);
        return true;
    }

private:
    DatePickerVariant variant_;
    PickedDates& dates_;
};

}  // namespace

platform::Date WithDayOf(platform::Date date, int year, int month, int day) {
    std::optional<platform::CalendarFields> fields = platform::DateToFields(date);
    if (!fields) {
        return date;
    }
    fields->Year = static_cast<uint16_t>(year);
    fields->Month = static_cast<uint16_t>(month);
    fields->Day = static_cast<uint16_t>(day);
    return platform::FieldsToDate(*fields).value_or(date);
}

int RunDatePicker(gui::DeviceScreen& screen, gui::Window& owner, DatePickerVariant variant,
                  PickedDates& dates) {
    DatePickerHandler handler(variant, dates);
    return gui::RunModalDialog(screen, owner,
                               resources::DialogTemplateOf(resources::kDatePickerDialog), handler);
}

}  // namespace controls
