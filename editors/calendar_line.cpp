#include "editors/calendar_line.h"

#include "resources/resource_ids.h"

namespace editors {
namespace {

// Inside the line: the swatch at its left, the name after it, "." at its right end.
constexpr int kSwatchInset = 3;
constexpr int kSwatchSize = 10;
constexpr int kNameLeft = 15;
constexpr int kButtonWidth = 10;
constexpr int kButtonHeight = 12;
constexpr int kButtonInset = 2;

gui::Rect SwatchRect(const gui::Rect& line) {
    return gui::RectAt(line.left + kSwatchInset - 1, line.top + kSwatchInset, kSwatchSize,
                       kSwatchSize);
}
gui::Rect NameRect(const gui::Rect& line) {
    return gui::Rect{line.left + kNameLeft, line.top, line.right - kButtonWidth - 2, line.bottom};
}
gui::Rect ButtonRect(const gui::Rect& line) {
    return gui::RectAt(line.right - kButtonWidth, line.top + kButtonInset, kButtonWidth,
                       kButtonHeight);
}

}  // namespace

std::vector<gui::MenuBarButton> LookOnlyMenuBar(std::vector<gui::MenuBarButton> buttons) {
    std::erase_if(buttons, [](const gui::MenuBarButton& button) {
        return button.command != resources::kCommandBack;
    });
    return buttons;
}

void CalendarLine::Create(gui::DeviceScreen& screen, gui::Window& editor, const gui::Rect& place,
                          schedule::ItemKindOfCalendar kind, const EditRecord& record,
                          schedule::StoreSession& store) {
    kind_ = kind;
    place_ = place;
    // A store whose calendars cannot be read shows no line; its writes still refuse what they
    // must.
    (void)schedule::LoadItemCalendars(store, calendars_);
    readOnly_ = record.ItemOid != 0 && calendars_.IsReadOnly(record.CalendarId);
    shown_ = calendars_.LineShown();
    if (!shown_) {
        return;
    }
    swatch_ = screen.CreateChild<gui::Label>(editor, SwatchRect(place), 0, u"",
                                             gui::LabelAlign::Left, true);
    name_ = screen.CreateChild<gui::Label>(editor, NameRect(place), 0, u"");
    if (!readOnly_ && calendars_.Choices(kind_, record.CalendarId).size() > 1) {
        choose_ = screen.CreateChild<gui::PushButton>(editor, ButtonRect(place),
                                                      resources::kCommandChooseCalendar, u".");
    }
    Show(record);
}

void CalendarLine::Place(const gui::Rect& place) {
    place_ = place;
    const auto move = [](gui::Window* control, const gui::Rect& rect) {
        if (control != nullptr) {
            control->Move(rect.left, rect.top, rect.Width(), rect.Height(), true);
        }
    };
    move(swatch_, SwatchRect(place));
    move(name_, NameRect(place));
    move(choose_, ButtonRect(place));
}

void CalendarLine::Show(const EditRecord& record) {
    if (!shown_) {
        return;
    }
    const schedule::ItemCalendar* calendar = calendars_.Find(record.CalendarId);
    const settings::Colorref colour =
        calendar ? calendar->colour : schedule::PaletteColour(record.CalendarId);
    swatch_->SetColors(gui::kBlack, colour);
    std::u16string name = calendar ? calendar->name : std::u16string();
    if (readOnly_) {
        name += kReadOnlyMark;
    }
    name_->SetText(name);
}

bool CalendarLine::Choose(gui::DeviceScreen& screen, const gui::Window& editor,
                          EditRecord& record) {
    if (!shown_ || readOnly_ || choose_ == nullptr) {
        return false;
    }
    const std::vector<const schedule::ItemCalendar*> choices =
        calendars_.Choices(kind_, record.CalendarId);
    // The pop-up's own numbers, 1 for the first calendar listed: what it returns is read here,
    // never sent on as a command.
    std::vector<gui::MenuItem> items;
    const schedule::ItemCalendar* current = calendars_.Find(record.CalendarId);
    for (size_t i = 0; i < choices.size(); ++i) {
        const std::u16string mark = choices[i] == current ? u"・" : u"　";
        items.push_back({mark + choices[i]->name, static_cast<uint16_t>(i + 1)});
    }
    const gui::Rect screenRect = editor.ScreenRect();
    const gui::Rect button = ButtonRect(place_);
    const uint16_t chosen =
        screen.TrackPopupMenu(gui::PopupMenu(std::move(items)),
                              {screenRect.left + button.left, screenRect.top + button.bottom});
    if (chosen == 0 || chosen > choices.size()) {
        return false;
    }
    const schedule::ItemCalendar* picked = choices[chosen - 1];
    if (picked == current) {
        return false;
    }
    record.CalendarId = picked->id;
    Show(record);
    return true;
}

}  // namespace editors
