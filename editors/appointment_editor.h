#pragma once

#include <QImage>

#include <functional>
#include <string>

#include "controls/handwriting_pad.h"
#include "editors/calendar_line.h"
#include "editors/editor_host.h"
#include "platform/gui/check_box.h"
#include "platform/gui/combo_box.h"
#include "platform/gui/device_screen.h"
#include "platform/gui/label.h"
#include "platform/gui/window.h"
#include "resources/dial.h"

namespace editors {

// The appointment editor's pictures, loaded once for the whole run: the dial's two faces and its
// hit map, and the icons beside the all-day, reminder and holiday boxes.
struct AppointmentEditorPictures {
    QImage dayFace;
    QImage nightFace;
    QImage hitMap;
    QImage allDayIcon;
    QImage reminderIcon;
    QImage holidayIcon;
    QImage recurrenceIcon;
};
AppointmentEditorPictures LoadAppointmentEditorPictures();

using resources::DialFace;

// Where the parts of the appointment editor that move with the orientation lie, in its own
// pixels (see LayoutFor in its source).
struct AppointmentEditorLayout {
    gui::Rect subjectBox;
    gui::Rect locationBox;
    gui::Point dialOrigin;
    gui::Rect pad;
    gui::Rect enlargedPad;
    // The item's calendar, when the store has more than one.
    gui::Rect calendarLine;
};

// The dial's own state while the editor is open: the face it shows, and whether its own strokes
// carried the start or the end past midnight into the next day.
struct DialState {
    DialFace face = DialFace::Day;
    bool startCarried = false;
    bool endCarried = false;
};

// What a stroke on the dial does to the record and the dial; true when it changed times or face
// and the editor is to be painted again. `pressed` and `released` are dial regions (0 the centre,
// 1-12 the outer ring, 13-24 the inner ring at clock positions 1-12). A press on the outer ring
// sets the start (and an end an hour on, or at the hour released on); a press on the inner ring
// sets the end; a release on the other ring gives the minutes, five for each clock position.
// All-day appointments ignore the dial. Minutes of 60 and hour 24 carry into the next hour or day;
// a date the dial carried so returns to its own day when a later stroke sets a time that no
// longer crosses midnight, while a date the user chose stays as chosen.
bool ApplyDialDrag(int pressed, int released, DialState& dial, EditRecord& record);

// The appointment editor ("TimeWindow"): subject and location with their recent texts, the
// start and end dates and times with their date pickers, the all-day, reminder and holiday
// boxes, the clock dial on which one stroke sets the times, and the handwriting pad for the
// memo, and with several calendars in the store the item's calendar, which "." changes. OK checks
// the times and writes the appointment and its ink; "←" leaves; "削除" deletes after asking. An
// item of a read-only calendar opens without OK, "削除" and "繰返": it can only be looked at.
// Closing always returns to the main window.
class AppointmentEditor final : public gui::Window {
public:
    AppointmentEditor(gui::DeviceScreen& screen, EditorHost& host,
                      const AppointmentEditorPictures& pictures);

    void OnCreate() override;
    void OnActivate(gui::Activation state) override;
    void OnSettingChange() override;
    void OnPaint(gui::Surface& surface) override;
    void OnPenDown(gui::Point point) override;
    void OnPenUp(gui::Point point) override;
    bool OnCommand(uint16_t command) override;

    DialFace Face() const { return dial_.face; }
    // Whether the item opened may only be looked at (its calendar is read-only).
    bool LookOnly() const { return calendar_.ReadOnly(); }

private:
    // The dial region under a point of the editor, or -1 for none (a separator line, a corner,
    // or a point off the dial's picture).
    int DialRegionAt(gui::Point point) const;
    void SaveAndClose();
    // Whether anything shown was changed since the editor opened: times, boxes, texts, the pad
    // (not the calendar, which is the whole series').
    bool ChangedSinceOpen() const;
    // The repeat dialog, on 繰返: a new choice is kept in the record until OK saves it.
    void ChooseRepeat();
    void DeleteAndClose();
    void PickDate(bool start);
    void SetAllDay();
    void ChooseCalendar();
    void Close();

    EditorHost& host_;
    const AppointmentEditorPictures& pictures_;
    gui::ActivationRecord activation_;
    AppointmentEditorLayout layout_;
    QImage hitMap_;  // the dial's regions, read one pixel per pen event
    int pressedRegion_ = -1;
    DialState dial_;
    gui::ComboBox* subject_ = nullptr;
    gui::ComboBox* location_ = nullptr;
    gui::Label* startDate_ = nullptr;
    gui::Label* startTime_ = nullptr;
    gui::Label* endDate_ = nullptr;
    gui::Label* endTime_ = nullptr;
    gui::CheckBox* allDay_ = nullptr;
    gui::CheckBox* reminder_ = nullptr;
    gui::CheckBox* holiday_ = nullptr;
    controls::HandwritingPad* pad_ = nullptr;
    CalendarLine calendar_;
    // The item as it was opened, and the pad's text then.
    EditRecord opened_;
    std::u16string openedPadText_;
};

}  // namespace editors
