#include "cli/drive_state.h"

#include <cstdio>
#include <string>

#include "cli/terminal_text.h"

namespace cli {
namespace {

std::string DateAndTime(platform::Date date) {
    const std::optional<platform::CalendarFields> fields = platform::DateToFields(date);
    if (!fields) {
        return "?";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", unsigned{fields->Year},
                  unsigned{fields->Month}, unsigned{fields->Day}, unsigned{fields->Hour},
                  unsigned{fields->Minute});
    return text;
}

// The records up to the last one in use, as "x,y" pairs: enough to tell two inks apart and to
// read a stroke back.
std::string InkRecords(const schedule::InkRecords& ink) {
    size_t used = ink.size();
    while (used > 0 && ink[used - 1] == schedule::InkEntry{}) {
        --used;
    }
    std::string text;
    for (size_t i = 0; i < used; ++i) {
        text += (i == 0 ? "" : " ") + std::to_string(ink[i].x) + "," + std::to_string(ink[i].y);
    }
    return text;
}

}  // namespace

void PrintDriveState(const gui::DeviceScreen& screen, const app::Planner& planner,
                     const app::MainWindow& mainWindow, std::ostream& out) {
    const gui::Window* active = screen.ActiveWindow();
    out << "active=" << (active ? TsvField(active->ClassName()) : std::string()) << "\n";
    out << "selected=" << DateAndTime(mainWindow.SelectedDate()) << "\n";
    out << "today=" << DateAndTime(mainWindow.TodayDate()) << "\n";
    const platform::CalendarFields& fields = mainWindow.SelectedDateFields();
    out << "selectedFields=" << fields.Year << " " << fields.Month << " " << fields.DayOfWeek << " "
        << fields.Day << "\n";
    out << "cornerPage=" << planner.dayItems->cornerPage << "\n";

    const controls::PadData& pad = *planner.pad;
    out << "inkCount=" << pad.InkCount << "\n";
    out << "padTextMode=" << pad.PadTextMode << "\n";
    out << "padText=" << TsvField(pad.PadText) << "\n";

    const editors::EditRecord& record = *planner.editRecord;
    out << "record.ItemOid=" << record.ItemOid << "\n";
    out << "record.Start=" << DateAndTime(record.Start) << "\n";
    out << "record.End=" << DateAndTime(record.End) << "\n";
    out << "record.Subject=" << TsvField(record.Subject) << "\n";
    out << "record.Location=" << TsvField(record.Location) << "\n";
    out << "record.Body=" << TsvField(record.Body) << "\n";
    out << "record.AllDay=" << record.AllDay << "\n";
    out << "record.Reminder=" << record.Reminder << "\n";
    out << "record.Holiday=" << record.Holiday << "\n";
    out << "record.HolidayAtOpen=" << record.HolidayAtOpen << "\n";
    out << "record.Complete=" << record.Complete << "\n";
    out << "record.InkCountAtOpen=" << record.InkCountAtOpen << "\n";
    out << "record.InkEntries=" << InkRecords(record.InkEntries) << "\n";
    out << "record.Recurring=" << record.Recurring << "\n";
    // The occurrence of a series the editor holds, as its series knows it; empty for none.
    out << "record.Occurrence=" << (record.Occurrence ? DateAndTime(*record.Occurrence) : "")
        << "\n";

    const app::ItemClipboard& clipboard = mainWindow.Clipboard();
    out << "clipboard.kind=" << static_cast<int>(clipboard.kind) << "\n";
    out << "clipboard.oid=" << clipboard.objectId << "\n";
}

}  // namespace cli
