#include "editors/appointment_editor.h"

#include <algorithm>
#include <array>

#include "calendar/handwritten_memo.h"
#include "controls/date_picker.h"
#include "controls/handwriting_pad.h"
#include "editors/appointment_writes.h"
#include "editors/editor_labels.h"
#include "editors/repeat_dialog.h"
#include "editors/undo_steps.h"
#include "platform/gui/push_button.h"
#include "platform/gui/shell.h"
#include "platform/gui/surface.h"
#include "resources/dial.h"
#include "resources/images.h"
#include "resources/resource_ids.h"
#include "resources/shell_resources.h"

namespace editors {
namespace {

using gui::RectAt;
using namespace resources;

// The layout, in the editor's own pixels.
constexpr gui::Rect kSubjectLabel = RectAt(0, 0, 30, 20);
constexpr gui::Rect kLocationLabel = RectAt(0, 25, 30, 20);
constexpr gui::Rect kStartDateLabel = RectAt(0, 50, 85, 16);
constexpr gui::Rect kStartDateButton = RectAt(85, 52, 10, 12);
constexpr gui::Rect kStartTimeLabel = RectAt(95, 50, 35, 16);
constexpr gui::Rect kEndDateLabel = RectAt(0, 66, 85, 16);
constexpr gui::Rect kEndDateButton = RectAt(85, 68, 10, 12);
constexpr gui::Rect kEndTimeLabel = RectAt(95, 66, 35, 16);
constexpr gui::Rect kAllDayBox = RectAt(16, 86, 16, 16);
constexpr gui::Rect kReminderBox = RectAt(51, 86, 16, 16);
constexpr gui::Rect kHolidayBox = RectAt(86, 86, 16, 16);
constexpr gui::Point kAllDayIconAt{0, 86};
constexpr gui::Point kReminderIconAt{35, 86};
constexpr gui::Point kHolidayIconAt{70, 86};
// Beside the three boxes while the appointment repeats.
constexpr gui::Point kRecurrenceIconAt{105, 86};
// What a paint covers: the editor in either orientation.
constexpr gui::Rect kPaintArea{0, 0, 320, 270};

// What moves with the orientation: the two text boxes (their heights take in the dropped
// list), the dial's picture (the face the user sees, and where the pen's hit map is read) and
// the pad, shrunk and enlarged. Upright: the boxes across the screen, the dial under them at the
// right, the pad below.
// The calendar's line goes under the boxes, left of the dial.
constexpr AppointmentEditorLayout kPortraitLayout{
    RectAt(30, 0, 210, 150), RectAt(30, 25, 210, 150),   {140, 50},
    controls::kPadRect,      controls::kEnlargedPadRect, RectAt(0, 106, 136, 16)};

// Turned (320 wide, 188 high), the dial goes up to the top right corner beside the boxes, which
// end 4 pixels short of it; the fields, dates and boxes on the left end at row 102, and the pad
// takes the whole width below, its toolbar and 64 rows to write in in sight from the start.
// Enlarged, it covers the editor. The calendar's line stands beside the three boxes, short of
// the dial.
constexpr int kLandscapeDialLeft = 220;
constexpr int kLandscapeBoxWidth = kLandscapeDialLeft - 4 - 30;
constexpr int kLandscapePadTop = 104;
constexpr int kLandscapeCalendarLeft = 124;

// The layout for an editor of that size: turned when it is wider than high.
AppointmentEditorLayout LayoutFor(const gui::Rect& client) {
    if (client.Width() <= client.Height()) {
        return kPortraitLayout;
    }
    return {RectAt(30, 0, kLandscapeBoxWidth, 150),
            RectAt(30, 25, kLandscapeBoxWidth, 150),
            {kLandscapeDialLeft, 0},
            RectAt(0, kLandscapePadTop, client.Width(), client.Height() - kLandscapePadTop),
            client,
            gui::Rect{kLandscapeCalendarLeft, 86, kLandscapeDialLeft - 4, 102}};
}

constexpr std::u16string_view kEndBeforeStart = u"終了時間が開始時間より前です";
constexpr std::u16string_view kWarningCaption = u"警告";
constexpr std::u16string_view kDeleteQuestion = u"削除してよろしいですか";
constexpr std::u16string_view kDeleteCaption = u"確認";
constexpr std::u16string_view kEndSeriesQuestion = u"繰り返しをやめて、この予定だけを残しますか？";

constexpr int kCentre = 0;
constexpr int kLastOuter = 12;
constexpr int kLastInner = 24;
constexpr int kMinutesPerPosition = 5;
// From 18 o'clock a tap on the outer ring turns the dial to its night face.
constexpr int kNightFromHour = 18;

bool IsOuter(int region) {
    return region >= 1 && region <= kLastOuter;
}

bool IsInner(int region) {
    return region > kLastOuter && region <= kLastInner;
}

// The clock position (1-12) of a ring region.
int ClockPosition(int region) {
    return IsInner(region) ? region - kLastOuter : region;
}

int HourOf(int region, DialFace face) {
    return face == DialFace::Day ? DayFaceHours[static_cast<size_t>(region)]
                                 : NightFaceHours[static_cast<size_t>(region)];
}

// `date` at hour:minute of its own day; a minute of 60 or an hour of 24 carries into the next
// hour or day. Unchanged when the date lies outside the calendar.
platform::Date AtTime(platform::Date date, int hour, int minute) {
    std::optional<platform::CalendarFields> fields = platform::DateToFields(date);
    if (!fields) {
        return date;
    }
    fields->Hour = static_cast<uint16_t>(hour);
    fields->Minute = static_cast<uint16_t>(minute);
    return platform::FieldsToDate(*fields).value_or(date);
}

platform::Date WholeDay(platform::Date date) {
    return static_cast<platform::Date>(platform::DayNumber(date));
}

// The same time of day one day earlier.
platform::Date DayBefore(platform::Date date) {
    return platform::LinearToDate(platform::DateToLinear(date) - 1.0);
}

}  // namespace

AppointmentEditorPictures LoadAppointmentEditorPictures() {
    return {Bitmap(kDayFaceBitmap), Bitmap(kNightFaceBitmap), Bitmap(kHitMapBitmap),
            Icon(kAllDayIcon),      Icon(kReminderIcon),      Icon(kHolidayIcon),
            Icon(kRecurrenceIcon)};
}

bool ApplyDialDrag(int pressed, int released, DialState& dial, EditRecord& record) {
    if (record.AllDay != 0) {
        return false;
    }
    if (pressed == kCentre) {
        if (released != kCentre) {
            return false;
        }
        dial.face = dial.face == DialFace::Day ? DialFace::Night : DialFace::Day;
        return true;
    }
    if (released == kCentre) {
        return false;
    }
    // The days the times are set on: each date as it was before the dial carried it.
    const platform::Date startDay = dial.startCarried ? DayBefore(record.Start) : record.Start;
    const platform::Date endDay = dial.endCarried ? DayBefore(record.End) : record.End;
    std::optional<platform::Date> start;
    std::optional<platform::Date> end;
    const int hour = HourOf(pressed, dial.face);
    if (IsOuter(pressed)) {
        if (IsInner(released)) {
            const int minute = ClockPosition(released) * kMinutesPerPosition;
            start = AtTime(startDay, hour, minute);
            end = AtTime(endDay, hour + 1, minute);
        } else if (released == pressed) {
            start = AtTime(startDay, hour, 0);
            end = AtTime(endDay, hour + 1, 0);
            if (hour >= kNightFromHour) {
                dial.face = DialFace::Night;
            }
        } else {
            start = AtTime(startDay, hour, 0);
            end = AtTime(endDay, HourOf(released, dial.face), 0);
        }
    } else if (IsOuter(released)) {
        end = AtTime(endDay, hour, ClockPosition(released) * kMinutesPerPosition);
    } else if (released == pressed) {
        end = AtTime(endDay, hour, 0);
    }
    if (start) {
        record.Start = *start;
        dial.startCarried = platform::DayNumber(*start) != platform::DayNumber(startDay);
    }
    if (end) {
        record.End = *end;
        dial.endCarried = platform::DayNumber(*end) != platform::DayNumber(endDay);
    }
    return true;
}

AppointmentEditor::AppointmentEditor(gui::DeviceScreen& screen, EditorHost& host,
                                     const AppointmentEditorPictures& pictures)
    : gui::Window(screen, u"TimeWindow", u"Tessarinth", gui::kWhite),
      host_(host),
      pictures_(pictures) {}

void AppointmentEditor::OnCreate() {
    gui::DeviceScreen& screen = Screen();
    EditRecord& record = host_.Record();
    controls::PadData& pad = host_.Pad();
    activation_ = gui::ActivationRecord{};

    layout_ = LayoutFor(ClientRect());
    calendar_.Create(screen, *this, layout_.calendarLine, schedule::ItemKindOfCalendar::Appointment,
                     record, host_.WriteContext().store);
    screen.CreateMenuBar(*this, calendar_.ReadOnly()
                                    ? LookOnlyMenuBar(MenuBarButtons(kAppointmentMenu))
                                    : MenuBarButtons(kAppointmentMenu));
    screen.CreateChild<gui::Label>(*this, kSubjectLabel, 0, u"件名");
    subject_ = screen.CreateChild<gui::ComboBox>(*this, layout_.subjectBox, 0);
    screen.CreateChild<gui::Label>(*this, kLocationLabel, 0, u"場所");
    location_ = screen.CreateChild<gui::ComboBox>(*this, layout_.locationBox, 0);
    startDate_ = screen.CreateChild<gui::Label>(*this, kStartDateLabel, 0, u"");
    screen.CreateChild<gui::PushButton>(*this, kStartDateButton, kCommandStartDate, u".");
    startTime_ = screen.CreateChild<gui::Label>(*this, kStartTimeLabel, 0, u"");
    endDate_ = screen.CreateChild<gui::Label>(*this, kEndDateLabel, 0, u"");
    screen.CreateChild<gui::PushButton>(*this, kEndDateButton, kCommandEndDate, u".");
    endTime_ = screen.CreateChild<gui::Label>(*this, kEndTimeLabel, 0, u"");
    allDay_ = screen.CreateChild<gui::CheckBox>(*this, kAllDayBox, kCommandAllDay, u"");
    reminder_ = screen.CreateChild<gui::CheckBox>(*this, kReminderBox, kCommandReminder, u"");
    holiday_ = screen.CreateChild<gui::CheckBox>(*this, kHolidayBox, kCommandHoliday, u"");
    subject_->LimitText(static_cast<int>(kMaxEditedSubjectChars));
    location_->LimitText(static_cast<int>(kMaxEditedSubjectChars));

    // The pad shows the item's ink, or its text memo: a new item starts in text mode when the
    // user prefers typed memos; an existing one shows its text memo as text, its ink as ink. The
    // typed text of a handwritten memo is what text mode shows (never the name of its ink file).
    pad.InkCount = record.InkCountAtOpen;
    pad.InkBuffer = record.InkEntries;
    pad.PadText.clear();
    if (record.ItemOid == 0) {
        pad.PadTextMode = settings::IsOn(host_.Settings().HMemo) ? 1 : 0;
    } else {
        pad.PadText = calendar::TypedTextOf(record.Body, record.Handwritten != 0);
        pad.PadTextMode = record.InkCountAtOpen == 0 && !pad.PadText.empty() ? 1 : 0;
    }
    pad_ = screen.CreateChild<controls::HandwritingPad>(*this, layout_.pad, pad);
    pad_->SetPlaces(layout_.pad, layout_.enlargedPad);
    opened_ = record;
    openedPadText_ = pad.PadText;

    hitMap_ = pictures_.hitMap;
    pressedRegion_ = -1;
    dial_ = DialState{};

    // The recent subjects and locations, most recent first, then the record's own texts.
    subject_->ClearItems();
    location_->ClearItems();
    for (const std::u16string& text : host_.History().SubjectHistory.Texts()) {
        subject_->AddItem(text);
    }
    for (const std::u16string& text : host_.History().LocationHistory.Texts()) {
        location_->AddItem(text);
    }
    subject_->SetText(record.Subject);
    location_->SetText(record.Location);

    allDay_->SetChecked(record.AllDay != 0);
    reminder_->SetChecked(record.Reminder != 0);
    holiday_->SetChecked(record.Holiday != 0);
    record.HolidayAtOpen = record.Holiday;
    if (!calendar_.ReadOnly()) {
        screen.ShowOkButton(*this);
    }
}

void AppointmentEditor::OnActivate(gui::Activation state) {
    gui::HandleActivation(Screen(), state, activation_);
}

void AppointmentEditor::OnSettingChange() {
    gui::HandleSettingChange(Screen(), activation_);
    // The screen turned: the editor has its new size, and the fields, the dial and the pad
    // go where that size puts them.
    layout_ = LayoutFor(ClientRect());
    // A text box keeps the height of its field: its layout height takes in the dropped list.
    const auto place = [](gui::Window& box, const gui::Rect& rect) {
        box.Move(rect.left, rect.top, rect.Width(), box.ClientRect().Height(), true);
    };
    place(*subject_, layout_.subjectBox);
    place(*location_, layout_.locationBox);
    calendar_.Place(layout_.calendarLine);
    pad_->SetPlaces(layout_.pad, layout_.enlargedPad);
    InvalidateAll(true);
}

void AppointmentEditor::OnPaint(gui::Surface& surface) {
    const EditRecord& record = host_.Record();
    surface.FillRect(kPaintArea.left, kPaintArea.top, kPaintArea.right, kPaintArea.bottom,
                     gui::kWhite);
    surface.DrawImage(dial_.face == DialFace::Day ? pictures_.dayFace : pictures_.nightFace,
                      layout_.dialOrigin.x, layout_.dialOrigin.y);
    startDate_->SetText(EditorDateText(record.Start));
    // The end's date is shown only when it lies on another day than the start.
    endDate_->SetText(WholeDay(record.End) == WholeDay(record.Start) ? std::u16string()
                                                                     : EditorDateText(record.End));
    const bool allDay = record.AllDay != 0;
    startTime_->SetText(allDay ? std::u16string() : EditorTimeText(record.Start));
    endTime_->SetText(allDay ? std::u16string() : EditorTimeText(record.End));
    surface.DrawImage(pictures_.allDayIcon, kAllDayIconAt.x, kAllDayIconAt.y);
    surface.DrawImage(pictures_.reminderIcon, kReminderIconAt.x, kReminderIconAt.y);
    surface.DrawImage(pictures_.holidayIcon, kHolidayIconAt.x, kHolidayIconAt.y);
    if (record.Recurring != 0) {
        surface.DrawImage(pictures_.recurrenceIcon, kRecurrenceIconAt.x, kRecurrenceIconAt.y);
    }
}

int AppointmentEditor::DialRegionAt(gui::Point point) const {
    const int x = point.x - layout_.dialOrigin.x;
    const int y = point.y - layout_.dialOrigin.y;
    // Only the picture's own pixels name regions; the edge one past it is off the dial.
    if (x < 0 || y < 0 || x >= hitMap_.width() || y >= hitMap_.height()) {
        return -1;
    }
    return DialRegionOfColour(hitMap_.pixel(x, y));
}

void AppointmentEditor::OnPenDown(gui::Point point) {
    pressedRegion_ = DialRegionAt(point);
}

void AppointmentEditor::OnPenUp(gui::Point point) {
    const int released = DialRegionAt(point);
    const int pressed = pressedRegion_;
    pressedRegion_ = -1;
    if (pressed != -1 && released != -1 &&
        ApplyDialDrag(pressed, released, dial_, host_.Record())) {
        InvalidateAll(true);
    }
}

bool AppointmentEditor::OnCommand(uint16_t command) {
    EditRecord& record = host_.Record();
    // An item that may only be looked at is neither saved, deleted nor made to repeat, whatever
    // sends the command (Ctrl+Q, a script).
    const bool lookOnly = calendar_.ReadOnly();
    switch (command) {
        case kCommandOk:
            if (!lookOnly) {
                SaveAndClose();
            }
            return true;
        case kCommandCancel:
        case kCommandBack:
            Close();
            return true;
        case kCommandDelete:
            if (!lookOnly) {
                DeleteAndClose();
            }
            return true;
        case kCommandRepeat:
            if (!lookOnly) {
                ChooseRepeat();
            }
            return true;
        case kCommandChooseCalendar:
            ChooseCalendar();
            return true;
        case kCommandStartDate:
            PickDate(true);
            return true;
        case kCommandEndDate:
            PickDate(false);
            return true;
        case kCommandAllDay:
            SetAllDay();
            return true;
        case kCommandReminder:
            record.Reminder = reminder_->IsChecked() ? 1 : 0;
            return true;
        case kCommandHoliday:
            record.Holiday = holiday_->IsChecked() ? 1 : 0;
            return true;
        default:
            return false;
    }
}

void AppointmentEditor::SetAllDay() {
    EditRecord& record = host_.Record();
    if (allDay_->IsChecked()) {
        record.AllDay = 1;
        record.Start = WholeDay(record.Start);
        record.End = WholeDay(record.End);
        InvalidateAll(true);
    } else {
        InvalidateAll(true);
        record.AllDay = 0;
    }
}

void AppointmentEditor::SaveAndClose() {
    EditRecord& record = host_.Record();
    if (record.Start > record.End) {
        Screen().ShowMessageBox(kEndBeforeStart, kWarningCaption, gui::MessageBoxButtons::Ok);
        return;
    }
    // The boxes limit what is typed; a longer stored text that was not changed is kept whole.
    record.Subject = subject_->Text();
    record.Location = location_->Text();
    SeriesPart part = SeriesPart::WholeSeries;
    const bool calendarChanged = record.CalendarId != opened_.CalendarId;
    const bool itemChanged = ChangedSinceOpen();
    if (record.Occurrence && !itemChanged && !calendarChanged) {
        Close();  // nothing to ask about, nothing to write
        return;
    }
    // How a series repeats is the series', and so is its calendar: a new repeat, or only another
    // calendar, needs no question.
    if (record.Occurrence && !record.RepeatChosen && itemChanged) {
        switch (Screen().ShowMessageBox(kChangeOnlyThisQuestion, kSeriesCaption,
                                        gui::MessageBoxButtons::YesNoCancel)) {
            case gui::MessageBoxAnswer::Yes:
                part = SeriesPart::ThisOccurrence;
                break;
            case gui::MessageBoxAnswer::No:
                break;
            default:
                return;  // back to the editor
        }
    }
    const std::u16string text = pad_->ReadPadText();
    const bool isNew = record.ItemOid == 0;
    const WriteResult written = RecordedWrite(
        host_.WriteContext(), isNew ? ChangeKind::Created : ChangeKind::Saved,
        calendar::ItemKind::Appointment, record.ItemOid, [&] {
            return isNew ? CreateAppointment(host_.WriteContext(), record, host_.Pad(), text)
                         : UpdateAppointment(host_.WriteContext(), record, host_.Pad(), text, part);
        });
    // Handwriting that found no file is still in the pad: the user is told, and nothing was
    // stored, so the editor stays open.
    if (written.status == WriteStatus::NoRoomForInk) {
        Screen().ShowMessageBox(kNoMoreRoomMessage, u"", gui::MessageBoxButtons::Ok);
        return;
    }
    if (written.status == WriteStatus::InkFileFailed) {
        Screen().ShowMessageBox(kNotSavedMessage, u"", gui::MessageBoxButtons::Ok);
        return;
    }
    controls::HistoryLists& history = host_.History();
    controls::RememberHistoryText(history.SubjectHistory, record.Subject);
    controls::RememberHistoryText(history.LocationHistory, record.Location);
    (void)controls::SaveSubjectLocationHistory(history, host_.Home(), host_.Settings().DataPath);
    host_.ReloadAfterWrite(written.ok());
    Close();
}

bool AppointmentEditor::ChangedSinceOpen() const {
    const EditRecord& record = host_.Record();
    const controls::PadData& pad = host_.Pad();
    const auto withoutReturns = [](std::u16string text) {
        std::erase(text, u'\r');
        return text;
    };
    const auto inkCount = static_cast<size_t>(
        std::clamp<int32_t>(pad.InkCount, 0, static_cast<int32_t>(schedule::kMaxInkEntries)));
    return record.Start != opened_.Start || record.End != opened_.End ||
           record.AllDay != opened_.AllDay || record.Reminder != opened_.Reminder ||
           record.Holiday != opened_.Holiday || subject_->Text() != opened_.Subject ||
           location_->Text() != opened_.Location || pad.InkCount != opened_.InkCountAtOpen ||
           !std::equal(pad.InkBuffer.begin(), pad.InkBuffer.begin() + inkCount,
                       opened_.InkEntries.begin()) ||
           withoutReturns(pad_->ReadPadText()) != withoutReturns(openedPadText_) ||
           record.RepeatChosen.has_value();
}

void AppointmentEditor::ChooseRepeat() {
    EditRecord& record = host_.Record();
    const Repeat current = record.RepeatChosen.value_or(RepeatOfRule(record.RuleAtOpen, {}));
    // A rule repeats from the series' first start, which a save for the whole series moves by as
    // much as the open occurrence was moved.
    const platform::Date repeatsFrom =
        record.Occurrence ? platform::LinearToDate(platform::DateToLinear(record.SeriesStart) +
                                                   platform::DateToLinear(record.Start) -
                                                   platform::DateToLinear(record.StartAtOpen))
                          : record.Start;
    RepeatChoice choice{current, repeatsFrom, host_.SelectedDate()};
    if (RunRepeatDialog(Screen(), *this, choice) != kCommandOk || choice.repeat == current) {
        return;
    }
    // Ending a series keeps only the occurrence that is open: asked first.
    if (choice.repeat.kind == RepeatKind::None && record.Occurrence &&
        Screen().ShowMessageBox(kEndSeriesQuestion, kSeriesCaption,
                                gui::MessageBoxButtons::YesNo) != gui::MessageBoxAnswer::Yes) {
        return;
    }
    record.RepeatChosen = choice.repeat;
    record.Recurring = choice.repeat.kind != RepeatKind::None ? 1 : 0;
    InvalidateAll(true);
}

void AppointmentEditor::ChooseCalendar() {
    if (calendar_.Choose(Screen(), *this, host_.Record())) {
        InvalidateAll(true);
    }
}

void AppointmentEditor::DeleteAndClose() {
    const EditRecord& record = host_.Record();
    if (record.ItemOid != 0) {
        if (Screen().ShowMessageBox(kDeleteQuestion, kDeleteCaption,
                                    gui::MessageBoxButtons::YesNo) != gui::MessageBoxAnswer::Yes) {
            return;
        }
        bool onlyThis = false;
        if (record.Occurrence) {
            const gui::MessageBoxAnswer answer = Screen().ShowMessageBox(
                kDeleteOnlyThisQuestion, kSeriesCaption, gui::MessageBoxButtons::YesNoCancel);
            if (answer != gui::MessageBoxAnswer::Yes && answer != gui::MessageBoxAnswer::No) {
                return;
            }
            onlyThis = answer == gui::MessageBoxAnswer::Yes;
        }
        const WriteResult deleted =
            RecordedWrite(host_.WriteContext(), ChangeKind::Deleted,
                          calendar::ItemKind::Appointment, record.ItemOid, [&] {
                              return onlyThis ? CancelOccurrence(host_.WriteContext(), record)
                                              : DeleteAppointment(host_.WriteContext(), record);
                          });
        host_.ReloadAfterWrite(deleted.ok());
    }
    Close();
}

void AppointmentEditor::PickDate(bool start) {
    EditRecord& record = host_.Record();
    controls::PickedDates dates{record.Start, record.End, host_.SelectedDate()};
    const auto variant =
        start ? controls::DatePickerVariant::StartDate : controls::DatePickerVariant::EndDate;
    if (controls::RunDatePicker(Screen(), *this, variant, dates) == kCommandOk) {
        record.Start = dates.start;
        record.End = dates.end;
        // The dates are the user's now: no stroke takes them back.
        dial_.startCarried = false;
        dial_.endCarried = false;
        if (start) {
            host_.MoveSelectedDate(dates.selectedDate);
        }
    }
    InvalidateAll(true);
}

void AppointmentEditor::Close() {
    host_.ReturnToMainWindow();
    Destroy();
}

}  // namespace editors
