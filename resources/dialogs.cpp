#include "resources/dialogs.h"

#include <utility>

#include "program_version.h"
#include "resources/resource_ids.h"

namespace resources {
namespace {

using Kind = DialogItem::Kind;
using Align = DialogItem::Align;

constexpr uint16_t kDataScrollingEdit = 1002;
constexpr uint16_t kHolidayEdit = 1015;

struct Rect {
    int x;
    int y;
    int width;
    int height;
};

struct Point {
    int x;
    int y;
};

DialogItem Label(std::u16string text, Rect rect) {
    DialogItem item;
    item.kind = Kind::Static;
    item.x = rect.x;
    item.y = rect.y;
    item.width = rect.width;
    item.height = rect.height;
    item.text = std::move(text);
    return item;
}

// A bordered static whose background the settings dialog paints in the colour it names.
DialogItem Swatch(uint16_t id, std::u16string text, Rect rect) {
    DialogItem item = Label(std::move(text), rect);
    item.id = id;
    item.align = Align::Center;
    item.border = true;
    return item;
}

DialogItem IconItem(int iconId, Rect rect) {
    DialogItem item = Label(u"", rect);
    item.kind = Kind::Icon;
    item.iconId = iconId;
    return item;
}

DialogItem Control(Kind kind, uint16_t id, std::u16string text, Rect rect) {
    DialogItem item = Label(std::move(text), rect);
    item.kind = kind;
    item.id = id;
    item.tabStop = true;
    return item;
}

// A ".." button of the settings dialog, opening the colour chooser for the swatch beside it.
DialogItem ColourButton(uint16_t id, Point at) {
    return Control(Kind::PushButton, id, u"..", {at.x, at.y, 11, 9});
}

DialogItem ScrollingEdit(uint16_t id, Rect rect) {
    DialogItem item = Control(Kind::Edit, id, u"", rect);
    item.border = true;
    item.autoHScroll = true;
    return item;
}

// The About box's second line: the release of the program, the same as every --version.
std::u16string ReleaseLine() {
    std::u16string line = u"リリース ";
    line.append(kProgramVersion.begin(), kProgramVersion.end());
    return line;
}

DialogTemplate AboutDialog() {
    return DialogTemplate{kAboutDialog,
                          0,
                          0,
                          140,
                          98,
                          u"About Tessarinth",
                          u"System",
                          8,
                          {
                              IconItem(kProgramIcon, {11, 17, 20, 20}),
                              Label(u"Tessarinth Version 4.2", {40, 10, 96, 8}),
                              Label(ReleaseLine(), {40, 25, 96, 8}),
                              Control(Kind::PushButton, kCommandOk, u"Ok", {40, 58, 50, 14}),
                          }};
}

DialogTemplate DatePickerDialog() {
    return DialogTemplate{
        kDatePickerDialog,
        0,
        0,
        127,
        126,
        u"日付の選択",
        u"System",
        9,
        {
            Control(Kind::MonthCalendar, kDatePickerCalendar, u"MonthCalendar1", {7, 7, 113, 99}),
            Control(Kind::DefPushButton, kCommandOk, u"OK", {7, 105, 50, 14}),
            Control(Kind::PushButton, kCommandCancel, u"キャンセル", {58, 105, 50, 14}),
        }};
}

DialogTemplate SettingsDialog() {
    return DialogTemplate{
        kSettingsDialog,
        0,
        0,
        131,
        149,
        u"設定",
        u"System",
        9,
        {
            Label(u"データ保存ディレクトリー", {7, 7, 89, 11}),
            ScrollingEdit(kDataScrollingEdit, {7, 21, 118, 12}),
            Label(u"色の設定", {7, 42, 36, 10}),
            // The colour block: three rows of a ".." button and its swatch, each as high as a
            // line of the dialog's font, the swatches wide enough for three characters.
            ColourButton(1005, {43, 39}),
            Swatch(1007, u"今日", {56, 39, 22, 9}),
            ColourButton(1006, {80, 39}),
            Swatch(1008, u"当日", {93, 39, 22, 9}),
            ColourButton(1009, {43, 48}),
            Swatch(1010, u"平日", {56, 48, 22, 9}),
            ColourButton(1012, {80, 48}),
            Swatch(1011, u"土曜日", {93, 48, 22, 9}),
            ColourButton(1014, {43, 57}),
            Swatch(1013, u"日曜日", {56, 57, 22, 9}),
            ColourButton(1017, {80, 57}),
            Swatch(1016, u"祝日", {93, 57, 22, 9}),
            Label(u"祝日のカテゴリー", {7, 70, 62, 8}),
            ScrollingEdit(kHolidayEdit, {72, 69, 52, 12}),
            Control(Kind::CheckBox, 1018, u"テキストメモ優先", {7, 84, 86, 10}),
            Control(Kind::CheckBox, 1019, u"期限の付いた仕事の表示", {7, 95, 90, 9}),
            Control(Kind::CheckBox, 1020, u"ClearType", {7, 105, 85, 11}),
            Control(Kind::CheckBox, 1021, u"小さめ", {7, 117, 60, 10}),
            Control(Kind::PushButton, kCommandSyncSetup, u"同期", {72, 116, 50, 11}),
            Control(Kind::DefPushButton, kCommandOk, u"OK", {7, 128, 50, 14}),
            Control(Kind::PushButton, kCommandCancel, u"キャンセル", {72, 128, 50, 14}),
        }};
}

// The kinds in two columns, then whether the series ends and its last day, which the "." button
// beside it picks with the date picker.
DialogTemplate RepeatDialog() {
    return DialogTemplate{
        kRepeatDialog,
        0,
        0,
        127,
        80,
        u"繰り返し",
        u"System",
        9,
        {
            Control(Kind::RadioButton, kRepeatNone, u"なし", {7, 7, 55, 10}),
            Control(Kind::RadioButton, kRepeatDaily, u"毎日", {64, 7, 56, 10}),
            Control(Kind::RadioButton, kRepeatWeekly, u"毎週", {7, 19, 55, 10}),
            Control(Kind::RadioButton, kRepeatMonthly, u"毎月", {64, 19, 56, 10}),
            Control(Kind::RadioButton, kRepeatYearly, u"毎年", {7, 31, 55, 10}),
            Control(Kind::CheckBox, kRepeatEnds, u"終了日", {7, 45, 42, 10}),
            [] {
                DialogItem date = Label(u"", {50, 45, 58, 10});
                date.id = kRepeatEndDate;
                return date;
            }(),
            Control(Kind::PushButton, kRepeatPickEndDate, u".", {110, 45, 10, 10}),
            Control(Kind::DefPushButton, kCommandOk, u"OK", {7, 60, 50, 14}),
            Control(Kind::PushButton, kCommandCancel, u"キャンセル", {64, 60, 56, 14}),
        }};
}

// The text to find and its button across the top; the list of what was found is laid out
// under them by the dialog itself, to fill the screen in either orientation.
DialogTemplate FindItemsDialog() {
    return DialogTemplate{kFindDialog,
                          0,
                          0,
                          136,
                          20,
                          u"検索",
                          u"System",
                          9,
                          {
                              ScrollingEdit(kFindText, {4, 4, 90, 12}),
                              Control(Kind::DefPushButton, kFindRun, u"検索", {98, 4, 34, 12}),
                          }};
}

// The fields as portrait shows them; the dialog places them again for the screen it is on, and
// the list of calendars and the status under them.
DialogTemplate SyncDialog() {
    auto addressed = [](uint16_t id, std::u16string text, Rect rect) {
        DialogItem label = Label(std::move(text), rect);
        label.id = id;
        return label;
    };
    return DialogTemplate{kSyncDialog,
                          0,
                          0,
                          131,
                          100,
                          u"同期",
                          u"System",
                          9,
                          {
                              addressed(kSyncServerLabel, u"サーバー", {2, 4, 36, 9}),
                              ScrollingEdit(kSyncServer, {38, 2, 91, 12}),
                              addressed(kSyncUserLabel, u"ユーザー", {2, 17, 36, 9}),
                              ScrollingEdit(kSyncUser, {38, 15, 91, 12}),
                              addressed(kSyncPasswordLabel, u"パスワード", {2, 30, 36, 9}),
                              ScrollingEdit(kSyncPassword, {38, 28, 91, 12}),
                              addressed(kSyncMinutesLabel, u"間隔", {2, 43, 36, 9}),
                              ScrollingEdit(kSyncMinutes, {38, 41, 20, 12}),
                              addressed(kSyncMinutesUnit, u"分", {60, 43, 10, 9}),
                              Control(Kind::PushButton, kSyncConnect, u"接続", {96, 41, 33, 12}),
                              Control(Kind::PushButton, kSyncNow, u"今すぐ同期", {2, 70, 46, 12}),
                              addressed(kSyncStatus, u"", {2, 84, 127, 16}),
                          }};
}

const std::vector<DialogTemplate> kDialogs{AboutDialog(),  DatePickerDialog(), SettingsDialog(),
                                           RepeatDialog(), FindItemsDialog(),  SyncDialog()};

}  // namespace

const DialogTemplate* FindDialog(int id) {
    for (const DialogTemplate& dialog : kDialogs) {
        if (dialog.id == id) {
            return &dialog;
        }
    }
    return nullptr;
}

}  // namespace resources
