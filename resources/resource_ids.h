#pragma once

#include <cstdint>

// The numeric ids by which the program addresses its user-interface resources, and the command
// ids those resources send. Windows switch on these numbers, so they are fixed.
namespace resources {

// Strings.
inline constexpr int kTitleString = 1;      // window title
inline constexpr int kClassNameString = 3;  // main window class name

// Menus and the menu bars built from them (a menu bar takes the menu of its own id).
inline constexpr int kMainMenu = 102;
inline constexpr int kAppointmentMenu = 111;
inline constexpr int kContextMenu = 118;
inline constexpr int kTaskMenu = 121;

// Dialog templates.
inline constexpr int kAboutDialog = 103;
inline constexpr int kDatePickerDialog = 104;
inline constexpr int kSettingsDialog = 115;
// How an appointment repeats: one radio button a kind, whether it ends, and on which day.
inline constexpr int kRepeatDialog = 131;
inline constexpr uint16_t kRepeatNone = 1311;
inline constexpr uint16_t kRepeatDaily = 1312;
inline constexpr uint16_t kRepeatWeekly = 1313;
inline constexpr uint16_t kRepeatMonthly = 1314;
inline constexpr uint16_t kRepeatYearly = 1315;
inline constexpr uint16_t kRepeatEnds = 1316;
inline constexpr uint16_t kRepeatEndDate = 1317;
inline constexpr uint16_t kRepeatPickEndDate = 1318;
// Finding items by their texts: the text to find and the button that finds it; the list of
// what was found fills the rest of the dialog.
inline constexpr int kFindDialog = 132;
inline constexpr uint16_t kFindText = 1321;
inline constexpr uint16_t kFindRun = 1322;
// 同期: the account's server, user and password, the planner's sync interval, 接続 (finds the
// account's calendars and sets the sync up) and 今すぐ同期, with what the latest of them did
// under them; the list of the calendars is laid out by the dialog itself. The labels have ids
// so that the dialog can place them beside their fields in either orientation.
inline constexpr int kSyncDialog = 133;
inline constexpr uint16_t kSyncServer = 1331;
inline constexpr uint16_t kSyncUser = 1332;
inline constexpr uint16_t kSyncPassword = 1333;
inline constexpr uint16_t kSyncMinutes = 1334;
inline constexpr uint16_t kSyncConnect = 1335;
inline constexpr uint16_t kSyncNow = 1336;
inline constexpr uint16_t kSyncStatus = 1337;
inline constexpr uint16_t kSyncServerLabel = 1338;
inline constexpr uint16_t kSyncUserLabel = 1339;
inline constexpr uint16_t kSyncPasswordLabel = 1340;
inline constexpr uint16_t kSyncMinutesLabel = 1341;
inline constexpr uint16_t kSyncMinutesUnit = 1342;
// The date picker's month calendar.
inline constexpr uint16_t kDatePickerCalendar = 1001;

// Accelerator table.
inline constexpr int kMainAccelerators = 3;

// Icons, 16 x 16.
inline constexpr int kProgramIcon = 101;
inline constexpr int kReminderIcon = 117;
inline constexpr int kRecurrenceIcon = 118;
inline constexpr int kMemoIcon = 119;
inline constexpr int kAllDayIcon = 120;
inline constexpr int kHolidayIcon = 121;

// Bitmaps of the appointment editor's dial, 100 x 100.
inline constexpr int kNightFaceBitmap = 107;
inline constexpr int kHitMapBitmap = 108;
inline constexpr int kDayFaceBitmap = 109;

// Commands.
inline constexpr uint16_t kCommandOk = 1;
inline constexpr uint16_t kCommandCancel = 2;
inline constexpr uint16_t kCommandAbout = 40003;
inline constexpr uint16_t kCommandGoTo = 40007;
inline constexpr uint16_t kCommandToday = 40012;
// The editors' date button: the appointment's start date, the task's due date.
inline constexpr uint16_t kCommandStartDate = 40013;
inline constexpr uint16_t kCommandBack = 40014;
inline constexpr uint16_t kCommandNextMonth = 40019;
inline constexpr uint16_t kCommandPreviousWeek = 40020;
inline constexpr uint16_t kCommandPreviousMonth = 40021;
inline constexpr uint16_t kCommandDelete = 40022;
inline constexpr uint16_t kCommandPreviousDay = 40042;
inline constexpr uint16_t kCommandNextDay = 40043;
inline constexpr uint16_t kCommandNextWeek = 40044;
inline constexpr uint16_t kCommandNewAppointment = 40045;
inline constexpr uint16_t kCommandSettings = 40053;
inline constexpr uint16_t kCommandCut = 40057;
inline constexpr uint16_t kCommandCopy = 40058;
inline constexpr uint16_t kCommandPasteAsTask = 40059;
inline constexpr uint16_t kCommandNew = 40072;
inline constexpr uint16_t kCommandNewTask = 40073;
inline constexpr uint16_t kCommandToggleComplete = 40074;
inline constexpr uint16_t kCommandNewTaskHere = 40075;
inline constexpr uint16_t kCommandSummary = 40076;
inline constexpr uint16_t kCommandPasteAsAppointment = 40081;
// Taking the newest change back, and doing it again: the 移動 menu's 元に戻す and やり直し, and
// Ctrl+Z and Ctrl+Y.
inline constexpr uint16_t kCommandUndo = 40110;
inline constexpr uint16_t kCommandRedo = 40111;
// The 移動 menu's 検索: find items by their texts and go to the day of one of them.
inline constexpr uint16_t kCommandFind = 40112;
// The settings dialog's 同期 button: opens the 同期 dialog.
inline constexpr uint16_t kCommandSyncSetup = 40113;
// The appointment editor's 繰返: how the appointment repeats.
inline constexpr uint16_t kCommandRepeat = 40090;
// The editors' controls that report to their window: the appointment editor's check boxes and
// end date button, the task editor's button that removes the due date. (The task editor's
// completion box reports kCommandToggleComplete.)
inline constexpr uint16_t kCommandAllDay = 40100;
inline constexpr uint16_t kCommandClearDueDate = 40101;
inline constexpr uint16_t kCommandReminder = 40102;
inline constexpr uint16_t kCommandHoliday = 40103;
inline constexpr uint16_t kCommandEndDate = 40104;
// The editors' "." beside the item's calendar: picks another calendar.
inline constexpr uint16_t kCommandChooseCalendar = 40105;

}  // namespace resources
