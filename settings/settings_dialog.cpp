#include "settings/settings_dialog.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/gui/color_chooser.h"
#include "platform/gui/colors.h"
#include "platform/gui/dialog.h"
#include "platform/gui/dialog_handler.h"
#include "platform/gui/label.h"
#include "platform/gui/modal_dialog.h"
#include "platform/text/unicode_text.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"
#include "settings/setting_fields.h"
#include "settings/settings_store.h"

namespace settings {
namespace {

// One day colour: the button that chooses it and the swatch that shows it.
struct ColourSlot {
    uint16_t button;
    uint16_t swatch;
    ColourMember setting;
};

// In the order the dialog keeps its working colours.
constexpr std::array<ColourSlot, 6> kColourSlots{{
    {kTodayButton, kTodaySwatch, &Settings::ccToday},
    {kCurDayButton, kCurDaySwatch, &Settings::ccCurDay},
    {kWeekDayButton, kWeekDaySwatch, &Settings::ccWeekDay},
    {kSatDayButton, kSatDaySwatch, &Settings::ccSatDay},
    {kSunDayButton, kSunDaySwatch, &Settings::ccSunDay},
    {kHoliDayButton, kHoliDaySwatch, &Settings::ccHoliDay},
}};

struct SwitchSlot {
    uint16_t box;
    FlagMember setting;
};

constexpr std::array<SwitchSlot, 4> kSwitchSlots{{
    {kTextMemoFirstBox, &Settings::HMemo},
    {kDatedTasksBox, &Settings::bTask},
    {kClearTypeBox, &Settings::ClearType},
    {kSmallFontBox, &Settings::Small},
}};

constexpr int kResultOk = gui::kOkCommand;
constexpr int kResultCancel = gui::kCancelCommand;

// An edit box's text as its buffer receives it: up to a zero unit, at most
// kDialogTextMaxUnits units, and never the first half of a surrogate pair on its own.
std::u16string DialogText(std::u16string_view text) {
    text = text.substr(0, text.find(u'\0'));
    if (text.size() <= kDialogTextMaxUnits) {
        return std::u16string(text);
    }
    size_t kept = kDialogTextMaxUnits;
    if (platform::IsHighSurrogate(text[kept - 1]) && platform::IsLowSurrogate(text[kept])) {
        --kept;
    }
    return std::u16string(text.substr(0, kept));
}

// The dialog's procedure. It works on copies of the six colours, so that a colour chosen and
// then cancelled never reaches the settings.
class SettingsDialogHandler final : public gui::DialogHandler {
public:
    SettingsDialogHandler(Settings& settings, platform::registry::Registry& registry,
                          const std::function<void(gui::Window&)>& openSync)
        : settings_(settings), registry_(registry), openSync_(openSync) {}

    bool OnInitDialog(gui::Dialog& dialog) override {
        gui::InitFullScreenDialog(dialog);
        dialog.SetItemText(kDataPathEdit, settings_.DataPath);
        dialog.SetItemText(kHolidayEdit, settings_.HoliDay);
        for (size_t i = 0; i < kColourSlots.size(); ++i) {
            working_[i] = settings_.*kColourSlots[i].setting;
            ShowSwatch(dialog, i);
        }
        // Any value but 0 shows checked, though only 1 counts as on: OK stores what is shown.
        for (const SwitchSlot& slot : kSwitchSlots) {
            dialog.CheckItem(slot.box, settings_.*slot.setting != 0);
        }
        if (gui::Control* sync = dialog.Item(resources::kCommandSyncSetup)) {
            sync->Enable(static_cast<bool>(openSync_));
        }
        return true;
    }

    bool OnCommand(gui::Dialog& dialog, uint16_t id) override {
        if (id == gui::kOkCommand) {
            Confirm(dialog);
            return true;
        }
        if (id == gui::kCancelCommand) {
            dialog.End(kResultCancel);
            return true;
        }
        if (id == resources::kCommandSyncSetup) {
            if (openSync_) {
                openSync_(dialog);
            }
            return true;
        }
        for (size_t i = 0; i < kColourSlots.size(); ++i) {
            if (id == kColourSlots[i].button) {
                ChooseWorkingColour(dialog, i);
                return true;
            }
        }
        return false;
    }

private:
    // The caption is black or white, whichever reads better on the colour: white on the
    // default black weekdays and blue Saturdays, black on the rest.
    void ShowSwatch(gui::Dialog& dialog, size_t slot) {
        if (auto* swatch = dialog.ItemAs<gui::Label>(kColourSlots[slot].swatch)) {
            swatch->SetColors(gui::ReadableTextOn(working_[slot]), working_[slot]);
        }
    }

    void ChooseWorkingColour(gui::Dialog& dialog, size_t slot) {
        const std::optional<gui::ColorRef> chosen =
            gui::ChooseColor(dialog.Screen(), working_[slot]);
        if (!chosen) {
            return;
        }
        working_[slot] = *chosen;
        ShowSwatch(dialog, slot);
    }

    void Confirm(gui::Dialog& dialog) {
        settings_.DataPath = DialogText(dialog.ItemText(kDataPathEdit));
        settings_.HoliDay = DialogText(dialog.ItemText(kHolidayEdit));
        for (size_t i = 0; i < kColourSlots.size(); ++i) {
            settings_.*kColourSlots[i].setting = working_[i];
        }
        for (const SwitchSlot& slot : kSwitchSlots) {
            settings_.*slot.setting = dialog.IsItemChecked(slot.box) ? 1 : 0;
        }
        // A registry that cannot be written is not reported: the settings hold in memory for
        // the rest of the run all the same.
        (void)SaveSettings(registry_, settings_);
        dialog.End(kResultOk);
    }

    Settings& settings_;
    platform::registry::Registry& registry_;
    const std::function<void(gui::Window&)>& openSync_;
    std::array<gui::ColorRef, kColourSlots.size()> working_{};
};

}  // namespace

SettingsDialogResult RunSettingsDialog(gui::Window& owner, Settings& settings,
                                       platform::registry::Registry& registry,
                                       const std::function<void(gui::Window&)>& openSync) {
    SettingsDialogHandler handler(settings, registry, openSync);
    const int result = gui::RunModalDialog(
        owner.Screen(), owner, resources::DialogTemplateOf(resources::kSettingsDialog), handler);
    return result == kResultOk ? SettingsDialogResult::Confirmed : SettingsDialogResult::Cancelled;
}

}  // namespace settings
