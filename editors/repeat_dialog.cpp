#include "editors/repeat_dialog.h"

#include <array>
#include <string>
#include <utility>

#include "controls/date_picker.h"
#include "editors/editor_labels.h"
#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/modal_dialog.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"

namespace editors {
namespace {

using namespace resources;

constexpr std::array<std::pair<uint16_t, RepeatKind>, 5> kKinds{{
    {kRepeatNone, RepeatKind::None},
    {kRepeatDaily, RepeatKind::Daily},
    {kRepeatWeekly, RepeatKind::Weekly},
    {kRepeatMonthly, RepeatKind::Monthly},
    {kRepeatYearly, RepeatKind::Yearly},
}};

constexpr std::array<std::u16string_view, 7> kWeekdays{u"日", u"月", u"火", u"水",
                                                       u"木", u"金", u"土"};

class RepeatHandler final : public gui::DialogHandler {
public:
    RepeatHandler(gui::DeviceScreen& screen, RepeatChoice& choice)
        : screen_(screen), choice_(choice), lastDay_(choice.repeat.lastDay) {}

    bool OnInitDialog(gui::Dialog& dialog) override {
        // The kinds say which day they repeat on: the start's weekday, its day of the month.
        if (const auto fields = platform::DateToFields(choice_.start)) {
            dialog.SetItemText(kRepeatWeekly,
                               u"毎週(" + std::u16string(kWeekdays[fields->DayOfWeek % 7]) + u")");
            dialog.SetItemText(kRepeatMonthly, u"毎月(" + Number(fields->Day) + u"日)");
        }
        for (const auto& [id, kind] : kKinds) {
            if (kind == choice_.repeat.kind) {
                dialog.CheckItem(id, true);
            }
        }
        dialog.CheckItem(kRepeatEnds, lastDay_.has_value());
        ShowLastDay(dialog);
        return true;
    }

    bool OnCommand(gui::Dialog& dialog, uint16_t command) override {
        switch (command) {
            case kCommandCancel:
                dialog.End(kCommandCancel);
                return true;
            case kCommandOk:
                Take(dialog);
                dialog.End(kCommandOk);
                return true;
            case kRepeatEnds:
                // Ending needs a day: the start's, until another is picked.
                if (dialog.IsItemChecked(kRepeatEnds) && !lastDay_) {
                    lastDay_ = WholeDay(choice_.start);
                }
                ShowLastDay(dialog);
                return true;
            case kRepeatPickEndDate:
                PickLastDay(dialog);
                return true;
            default:
                return false;
        }
    }

    bool TakePickedDay(gui::Dialog& dialog, int year, int month, int day) override {
        const platform::Date picked =
            controls::WithDayOf(WholeDay(lastDay_.value_or(choice_.start)), year, month, day);
        lastDay_ = picked;
        dialog.CheckItem(kRepeatEnds, true);
        ShowLastDay(dialog);
        return true;
    }

private:
    static platform::Date WholeDay(platform::Date date) {
        return static_cast<platform::Date>(platform::DayNumber(date));
    }

    static std::u16string Number(int value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
    }

    void ShowLastDay(gui::Dialog& dialog) {
        dialog.SetItemText(kRepeatEndDate, dialog.IsItemChecked(kRepeatEnds) && lastDay_
                                               ? EditorDateText(*lastDay_)
                                               : std::u16string());
    }

    void PickLastDay(gui::Dialog& dialog) {
        const platform::Date from = WholeDay(lastDay_.value_or(choice_.start));
        controls::PickedDates dates{from, from, choice_.selectedDate};
        if (controls::RunDatePicker(screen_, dialog, controls::DatePickerVariant::EndDate, dates) ==
            kCommandOk) {
            lastDay_ = WholeDay(dates.end);
            dialog.CheckItem(kRepeatEnds, true);
        }
        ShowLastDay(dialog);
    }

    void Take(const gui::Dialog& dialog) {
        for (const auto& [id, kind] : kKinds) {
            if (dialog.IsItemChecked(id)) {
                choice_.repeat.kind = kind;
            }
        }
        choice_.repeat.lastDay =
            dialog.IsItemChecked(kRepeatEnds) && choice_.repeat.kind != RepeatKind::None
                ? lastDay_
                : std::nullopt;
    }

    gui::DeviceScreen& screen_;
    RepeatChoice& choice_;
    std::optional<platform::Date> lastDay_;
};

}  // namespace

int RunRepeatDialog(gui::DeviceScreen& screen, gui::Window& owner, RepeatChoice& choice) {
    RepeatHandler handler(screen, choice);
    return gui::RunModalDialog(screen, owner, resources::DialogTemplateOf(resources::kRepeatDialog),
                               handler);
}

}  // namespace editors
