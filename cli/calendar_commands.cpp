#include "cli/calendar_commands.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "cli/command_support.h"
#include "cli/home_settings.h"
#include "cli/terminal_text.h"
#include "platform/files/file_operations.h"
#include "platform/files/readable_file.h"
#include "platform/text/unicode_text.h"
#include "schedule/calendar_ink.h"
#include "schedule/ink_file_writer.h"
#include "store/schedule_store.h"

namespace cli {
namespace {

constexpr std::string_view kImport = "import";
constexpr std::string_view kExport = "export";
// Where the first line of a calendar must have ended.
constexpr size_t kFirstLineBytes = 4096;

// Whether the bytes read from the start of a file (all of it when `whole`) begin as a calendar:
// after a byte-order mark and empty lines, a line that begins a component. The line's number
// when not.
std::optional<int> LineThatIsNoBegin(std::string_view head, bool whole) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (head.starts_with(kByteOrderMark)) {
        head.remove_prefix(kByteOrderMark.size());
    }
    int line = 1;
    while (!head.empty() && (head.front() == '\r' || head.front() == '\n')) {
        line += head.front() == '\n' ? 1 : 0;
        head.remove_prefix(1);
    }
    const size_t end = head.find('\n');
    if (end == std::string_view::npos && !whole) {
        return line;  // a first line longer than any calendar's
    }
    constexpr std::string_view kBegin = "BEGIN:";
    const std::string_view first = head.substr(0, std::min(end, head.size()));
    const bool begins =
        first.size() >= kBegin.size() &&
        std::equal(kBegin.begin(), kBegin.end(), first.begin(), [](char expected, char c) {
            return expected == (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        });
    return begins ? std::nullopt : std::optional<int>(line);
}

// The text of the calendar file to import: refused when it is not a regular file or a pipe,
// when its first line begins no calendar (before anything more is read: a file of zeros is
// refused after its first few kilobytes), and when it holds more than kMaxImportBytes.
platform::Result<std::string> ReadCalendarFile(const std::string& file) {
    auto opened = platform::ReadableFile::Open(file, platform::FileKinds::RegularOrPipe);
    if (!opened) {
        return opened.error();
    }
    // A file past the ceiling is refused by its size, before its first line is looked at.
    if (const std::optional<uint64_t> size = opened->Size(); size && *size > kMaxImportBytes) {
        return platform::MakeError("cannot read " + file + ": larger than " +
                                   std::to_string(kMaxImportBytes) +
                                   " bytes (nothing was imported)");
    }
    std::string head(kFirstLineBytes, '\0');
    head.resize(opened->Read(head.data(), head.size()));
    if (auto status = opened->Status(); !status) {
        return status.error();
    }
    if (const std::optional<int> line = LineThatIsNoBegin(head, head.size() < kFirstLineBytes)) {
        return platform::MakeError(file + ": line " + std::to_string(*line) +
                                   ": not an iCalendar file: it must begin with BEGIN:VCALENDAR "
                                   "(nothing was imported)");
    }
    auto text = platform::ReadToEnd(*opened, kMaxImportBytes, std::move(head));
    if (!text) {
        return platform::MakeError(text.error().message + " (nothing was imported)");
    }
    return text;
}

platform::Result<void> LogOn(const platform::DataHome& home, store::Application& store) {
    if (auto folders = home.EnsureFolders(); !folders) {
        return folders;
    }
    return store.LogOn(home.StorePath());
}

// What the file held that was left out, one line each on standard error; the changes kept with
// their series and the notes go with the summary.
void Report(const calendar::ImportedCalendar& calendar, std::ostream& out, std::ostream& err) {
    for (const std::string& kept : calendar.changedOccurrences) {
        out << "kept: " << Escaped(kept) << "\n";
    }
    for (const std::string& note : calendar.notes) {
        out << "note: " << Escaped(note) << "\n";
    }
    for (const std::string& dropped : calendar.dropped) {
        err << "dropped: " << Escaped(dropped) << "\n";
    }
    for (const std::string& skipped : calendar.skipped) {
        err << "skipped: " << Escaped(skipped) << "\n";
    }
}

// Gives each appointment that came with handwriting an ink file of its own (or the one its stored
// item already has for the same drawing). Handwriting that cannot be stored is reported and left
// out; the appointment is imported with its typed text.
void StoreCarriedInk(calendar::ImportedCalendar& calendar, const store::Application& store,
                     schedule::IncomingInkFiles& inkFiles,
                     std::vector<store::IncomingAppointment>& incoming, int& inkSkipped,
                     std::ostream& err) {
    std::map<std::string, calendar::AppointmentRecord> storedByUid;
    if (auto stored = store.AllAppointments()) {
        for (calendar::AppointmentRecord& record : *stored) {
            storedByUid.emplace(record.uid, std::move(record));
        }
    }
    for (size_t i = 0; i < incoming.size() && i < calendar.appointmentsInk.size(); ++i) {
        const calendar::AppointmentInk& ink = calendar.appointmentsInk[i];
        if (ink.empty()) {
            continue;
        }
        calendar::AppointmentRecord& record = incoming[i].record;
        const auto stored = storedByUid.find(record.uid);
        schedule::GiveCarriedInk(
            inkFiles, record, ink, stored == storedByUid.end() ? nullptr : &stored->second,
            [&](const calendar::CarriedInk& carried, const platform::Error& error) {
                ++inkSkipped;
                err << "skipped: line " << carried.line << ": the handwriting of "
                    << Escaped(record.uid) << " is not imported: " << Escaped(error.message)
                    << "\n";
            });
        if (ink.item) {
            // The memo and its mark come from the file, even where its DESCRIPTION was left out.
            incoming[i].given.Add(calendar::ItemField::Body);
        }
    }
}

// "; 2 dropped" for the properties left out of imported items, nothing when none was.
std::string DroppedCount(const calendar::ImportedCalendar& calendar) {
    return calendar.dropped.empty() ? std::string()
                                    : "; " + std::to_string(calendar.dropped.size()) + " dropped";
}

// How an import ends, for scripts: everything taken, part of the file dropped or skipped, or
// nothing taken.
int ImportStatus(size_t taken, size_t leftOut) {
    if (leftOut == 0) {
        return 0;
    }
    return taken == 0 ? kFailureStatus : kSomeSkippedStatus;
}

bool CarriesInk(const calendar::ImportedCalendar& calendar) {
    return std::any_of(calendar.appointmentsInk.begin(), calendar.appointmentsInk.end(),
                       [](const calendar::AppointmentInk& ink) { return !ink.empty(); });
}

}  // namespace

int ImportCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  std::ostream& out, std::ostream& err) {
    ImportOptions options;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--strict") {
            options.mode = calendar::ImportMode::AllOrNothing;
        } else if (arg == "--check") {
            options.checkOnly = true;
        } else if (arg.starts_with("--")) {
            return Fail(err, kImport, kUsageStatus, "unexpected argument: " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        return Fail(err, kImport, kUsageStatus, "expected: import [--strict] [--check] FILE.ics");
    }
    return ImportCalendar(home, files.front(), options, out, err);
}

int ImportCalendar(const platform::DataHome& home, const std::string& file) {
    return ImportCalendar(home, file, ImportOptions{}, std::cout, std::cerr);
}

int ImportCalendar(const platform::DataHome& home, const std::string& file,
                   const ImportOptions& options, std::ostream& out, std::ostream& err) {
    auto text = ReadCalendarFile(file);
    if (!text) {
        return Fail(err, kImport, kFailureStatus, text.error().message);
    }
    auto calendar = calendar::ParseICalendar(*text, options.mode);
    if (!calendar) {
        return Fail(err, kImport, kFailureStatus,
                    file + ": " + calendar.error().message + " (nothing was imported)");
    }
    if (options.checkOnly) {
        out << "would import " << calendar->appointments.size() << " appointments and "
            << calendar->tasks.size() << " tasks from " << Escaped(file) << DroppedCount(*calendar)
            << "; " << calendar->skipped.size() << " skipped\n";
        Report(*calendar, out, err);
        return ImportStatus(calendar->appointments.size() + calendar->tasks.size(),
                            calendar->dropped.size() + calendar->skipped.size());
    }
    store::Application store;
    if (auto logOn = LogOn(home, store); !logOn) {
        return Fail(err, kImport, kFailureStatus, logOn.error().message);
    }
    // Handwriting an import or sync killed before its store write left behind frees its numbers.
    schedule::RemoveUnstoredInkFiles(home, store);
    // Items whose UIDs are stored already are updated in place, so a file imported twice gives
    // its items once.
    std::vector<store::IncomingAppointment> appointments;
    for (size_t i = 0; i < calendar->appointments.size(); ++i) {
        appointments.push_back(
            {std::move(calendar->appointments[i]), calendar->appointmentsGive[i]});
    }
    std::vector<store::IncomingTask> tasks;
    for (size_t i = 0; i < calendar->tasks.size(); ++i) {
        tasks.push_back({std::move(calendar->tasks[i]), calendar->tasksGive[i]});
    }
    // The data folder is looked up only for handwriting, which most calendars do not carry.
    std::optional<schedule::IncomingInkFiles> inkFiles;
    int inkSkipped = 0;
    if (CarriesInk(*calendar)) {
        inkFiles.emplace(home, LoadHomeSettings(home, err).DataPath, store);
        StoreCarriedInk(*calendar, store, *inkFiles, appointments, inkSkipped, err);
    }
    const size_t appointmentCount = appointments.size();
    const size_t taskCount = tasks.size();
    // How the output names an item the store keeps a later version of.
    std::vector<std::string> names;
    for (const store::IncomingAppointment& incoming : appointments) {
        names.push_back("VEVENT " + incoming.record.uid);
    }
    for (const store::IncomingTask& incoming : tasks) {
        names.push_back("VTODO " + incoming.record.uid);
    }
    auto saved = store.SaveByUid(std::move(appointments), std::move(tasks));
    if (!saved) {
        // The ink files written for it go again with inkFiles.
        return Fail(err, kImport, kFailureStatus,
                    saved.error().message + " (nothing was imported)");
    }
    if (inkFiles) {
        inkFiles->Settle(true, store);
    }
    using Outcome = store::UidSaveSummary::Outcome;
    std::vector<std::string> earlier;
    size_t next = 0;
    for (const auto* items : {&saved->appointments, &saved->tasks}) {
        for (const store::UidSaveSummary::Item& item : *items) {
            if (item.outcome == Outcome::Earlier) {
                earlier.push_back(names[next] +
                                  " is an earlier version of the stored one (a lower SEQUENCE "
                                  "or an earlier DTSTAMP); not taken");
            }
            ++next;
        }
    }
    calendar->skipped.insert(calendar->skipped.end(), earlier.begin(), earlier.end());
    out << "imported " << appointmentCount << " appointments and " << taskCount << " tasks from "
        << Escaped(file) << ": " << saved->Count(Outcome::Added) << " added, "
        << saved->Count(Outcome::Updated) << " updated, " << saved->Count(Outcome::Unchanged)
        << " unchanged" << DroppedCount(*calendar) << "; "
        << calendar->skipped.size() + static_cast<size_t>(inkSkipped) << " skipped\n";
    Report(*calendar, out, err);
    return ImportStatus(
        appointmentCount + taskCount,
        calendar->dropped.size() + calendar->skipped.size() + static_cast<size_t>(inkSkipped));
}

int ExportCalendar(const platform::DataHome& home, const std::string& file) {
    std::ostream& err = std::cerr;
    store::Application store;
    if (auto logOn = LogOn(home, store); !logOn) {
        return Fail(err, kExport, kFailureStatus, logOn.error().message);
    }
    auto appointments = store.AllAppointments();
    auto tasks = store.AllTasks();
    if (!appointments || !tasks) {
        return Fail(err, kExport, kFailureStatus,
                    (appointments ? tasks.error() : appointments.error()).message);
    }
    const std::string text = schedule::CalendarTextWithInk(
        home, LoadHomeSettings(home, err).DataPath, *appointments, *tasks, platform::SystemClock());
    if (file == "-") {
        std::cout << text;
        return 0;
    }
    // Into a folder that is there, as `cp` writes: a mistyped folder is not made.
    if (auto written =
            platform::ReplaceFileAtomically(file, text, platform::MissingFolders::Refuse);
        !written) {
        return Fail(err, kExport, kFailureStatus, written.error().message);
    }
    std::cout << "exported " << appointments->size() << " appointments and " << tasks->size()
              << " tasks to " << Escaped(file) << "\n";
    return 0;
}

}  // namespace cli
