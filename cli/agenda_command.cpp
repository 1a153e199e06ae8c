#include "cli/agenda_command.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/home_settings.h"
#include "cli/terminal_text.h"
#include "schedule/day_items.h"

namespace cli {
namespace {

using schedule::DayItemKind;
using schedule::DayItemRow;
using schedule::DayItems;

// The widest a subject or location column grows before longer texts simply run past it.
constexpr size_t kMaxSubjectColumn = 30;
constexpr size_t kMaxLocationColumn = 20;
constexpr size_t kDayColumn = 9;    // "Mon 12-07"
constexpr size_t kTimeColumn = 11;  // "22:00-..."

int Fail(std::ostream& err, int status, const std::string& message) {
    return cli::Fail(err, "agenda", status, message);
}

std::string_view KindName(DayItemKind kind) {
    switch (kind) {
        case DayItemKind::Appointment:
            return "appointment";
        case DayItemKind::DatedTask:
            return "task";
        case DayItemKind::EmptyDay:
            break;
    }
    return "empty";
}

// Whether a row's day lies in the calendar. From 9999-12-21 on, the twelve days run past its
// last day: the list ends there, as the screen's leaves those rows blank.
bool InCalendar(const DayItemRow& row) {
    return platform::DateToFields(row.rowDate).has_value();
}

void PrintTsv(const DayItems& items, std::ostream& out) {
    for (size_t index = 0; index < items.table.size(); ++index) {
        const DayItemRow& row = items.table[index];
        if (!InCalendar(row)) {
            break;
        }
        const bool empty = row.kind == DayItemKind::EmptyDay;
        out << index << '\t' << FormatDay(row.rowDate) << '\t' << KindName(row.kind) << '\t'
            << row.objectId << '\t' << (empty ? "" : FormatMinute(row.start)) << '\t'
            << (empty ? "" : FormatMinute(row.end)) << '\t' << (row.allDay != 0 ? 1 : 0) << '\t'
            << (row.holiday != 0 ? 1 : 0) << '\t' << (row.reminder != 0 ? 1 : 0) << '\t'
            << (row.recurring != 0 ? 1 : 0) << '\t' << (row.complete != 0 ? 1 : 0) << '\t'
            << row.inkCount << '\t' << TsvField(row.subject) << '\t' << TsvField(row.location)
            << '\t' << TsvField(row.memoText) << '\n';
    }
    for (size_t index = 0; index < items.undatedTasks.size(); ++index) {
        const schedule::UndatedTask& task = items.undatedTasks[index];
        if (task.objectId == 0) {
            break;
        }
        out << "undated\t" << index << '\t' << task.objectId << '\t' << (task.complete != 0 ? 1 : 0)
            << '\t' << TsvField(task.subject) << '\n';
    }
}

std::u16string Ascii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

// "Mon 12-07" for a day.
std::string DayLabel(platform::Date date) {
    return WeekdayOf(date) + " " + FormatDay(date).substr(5);
}

// "HH:MM" of a time on the row's day, "..." for one on another day.
std::string TimeOnDay(platform::Date time, platform::Date rowDate) {
    if (platform::DayNumber(time) != platform::DayNumber(rowDate)) {
        return "...";
    }
    return FormatMinute(time).substr(11);
}

std::string TimeColumn(const DayItemRow& row) {
    if (row.kind == DayItemKind::DatedTask) {
        return row.complete != 0 ? "task [x]" : "task [ ]";
    }
    if (row.kind == DayItemKind::EmptyDay) {
        return "-";
    }
    if (row.allDay != 0) {
        return "all day";
    }
    return TimeOnDay(row.start, row.rowDate) + "-" + TimeOnDay(row.end, row.rowDate);
}

std::string Marks(const DayItemRow& row) {
    std::string marks = "....";
    if (row.recurring != 0) {
        marks[0] = 'R';
    }
    if (row.reminder != 0) {
        marks[1] = 'A';
    }
    if (row.holiday != 0) {
        marks[2] = 'H';
    }
    if (row.inkCount > 0) {
        marks[3] = 'I';
    }
    return row.kind == DayItemKind::EmptyDay ? "    " : marks;
}

std::string Memo(const DayItemRow& row) {
    if (row.inkCount > 0) {
        return "(handwritten, " + OneLine(row.memoText) + ", " + std::to_string(row.inkCount) +
               " ink records)";
    }
    return OneLine(row.memoText);
}

// Trailing spaces of a line left by empty padded columns.
void EndLine(std::string& line, std::ostream& out) {
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
}

void PrintReadable(const DayItems& items, std::ostream& out) {
    size_t subjectColumn = 0;
    size_t locationColumn = 0;
    for (const DayItemRow& row : items.table) {
        subjectColumn = std::max(subjectColumn, OneLineWidth(row.subject));
        locationColumn = std::max(locationColumn, OneLineWidth(row.location));
    }
    subjectColumn = std::min(subjectColumn, kMaxSubjectColumn);
    locationColumn = std::min(locationColumn, kMaxLocationColumn);

    out << "Agenda from " << WeekdayOf(items.window.front()) << ' '
        << FormatDay(items.window.front()) << "\n\n";
    platform::Date previousDay = 0;
    for (const DayItemRow& row : items.table) {
        if (!InCalendar(row)) {
            break;
        }
        const bool firstOfDay = row.rowDate != previousDay;
        previousDay = row.rowDate;
        std::string line = PadToWidth(Ascii(firstOfDay ? DayLabel(row.rowDate) : ""), kDayColumn);
        line += "  " + PadToWidth(Ascii(TimeColumn(row)), kTimeColumn);
        line += "  " + Marks(row);
        line += "  " + PadToWidth(row.subject, subjectColumn);
        if (locationColumn > 0) {
            line += "  " + PadToWidth(row.location, locationColumn);
        }
        line += "  " + Memo(row);
        EndLine(line, out);
    }

    const auto end = std::find_if(items.undatedTasks.begin(), items.undatedTasks.end(),
                                  [](const schedule::UndatedTask& t) { return t.objectId == 0; });
    const auto count = static_cast<size_t>(end - items.undatedTasks.begin());
    out << "\nUndated tasks (" << count << ")\n";
    for (auto task = items.undatedTasks.begin(); task != end; ++task) {
        out << "  " << (task->complete != 0 ? "[x] " : "[ ] ") << OneLine(task->subject) << '\n';
    }
    out << "\nMarks: R recurring  A reminder  H holiday  I handwritten memo\n";
}

}  // namespace

int AgendaCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    int status = 0;
    const auto read = ReadDateCommandArguments(
        args, ParseDayArgument, "date of the form YYYY-MM-DD", clock, "agenda", err, status);
    if (!read) {
        return status;
    }
    const bool tsv = read->tsv;
    const std::optional<platform::Date> selected = read->selected;
    if (auto folders = home.EnsureFolders(); !folders) {
        return Fail(err, kFailureStatus, folders.error().message);
    }
    const settings::Settings settings = LoadHomeSettings(home, err);
    schedule::StoreSession store(home.StorePath());
    // Twelve rows of ink: too large for the stack.
    const auto items = std::make_unique<DayItems>();
    if (auto loaded = schedule::LoadDayItems(*selected, settings, home, store, *items); !loaded) {
        return Fail(err, kFailureStatus, loaded.error().message);
    }
    if (tsv) {
        PrintTsv(*items, out);
    } else {
        PrintReadable(*items, out);
    }
    return 0;
}

}  // namespace cli
