#include "cli/calendar_commands.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "calendar/ical_stream.h"
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

// A regular file read for an import, no further than its size when it was opened: a file that
// grows meanwhile is read as it was.
class FileSource : public calendar::CalendarSource {
public:
    FileSource(platform::ReadableFile file, uint64_t size) : file_(std::move(file)), size_(size) {}
    platform::Result<void> Rewind() override {
        left_ = size_;
        return file_.Rewind();
    }
    size_t Read(char* buffer, size_t bytes) override {
        const size_t got =
            file_.Read(buffer, static_cast<size_t>(std::min<uint64_t>(bytes, left_)));
        left_ -= got;
        return got;
    }
    platform::Result<void> Status() const override { return file_.Status(); }

private:
    platform::ReadableFile file_;
    uint64_t size_;
    uint64_t left_ = size_;
};

// The calendar file to import, to be read as a stream: refused when it is not a regular file or
// a pipe, when its first line begins no calendar (before anything more is read: a file of zeros
// is refused after its first few kilobytes), and when it holds more than kMaxImportFileBytes (a
// pipe, which is read whole to be read twice, kMaxImportBytes).
struct ImportInput {
    std::unique_ptr<calendar::CalendarSource> source;
    std::string pipeText;  // a pipe's, which `source` reads
};

platform::Result<ImportInput> OpenCalendarFile(const std::string& file) {
    auto opened = platform::ReadableFile::Open(file, platform::FileKinds::RegularOrPipe);
    if (!opened) {
        return opened.error();
    }
    // A file past the ceiling is refused by its size, before its first line is looked at.
    const std::optional<uint64_t> size = opened->Size();
    if (size && *size > kMaxImportFileBytes) {
        return platform::MakeError("cannot read " + file + ": larger than " +
                                   std::to_string(kMaxImportFileBytes) +
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
    ImportInput input;
    if (size) {
        input.source = std::make_unique<FileSource>(std::move(opened).value(), *size);
        return input;
    }
    auto text = platform::ReadToEnd(*opened, kMaxImportBytes, std::move(head));
    if (!text) {
        return platform::MakeError(text.error().message + " (nothing was imported)");
    }
    input.pipeText = std::move(text).value();
    input.source = std::make_unique<calendar::TextSource>(input.pipeText);
    return input;
}

platform::Result<void> LogOn(const platform::DataHome& home, store::Application& store) {
    if (auto folders = home.EnsureFolders(); !folders) {
        return folders;
    }
    return store.LogOn(home.StorePath());
}

// The lines of an import's report of one kind, in the order of the file; past kMaxReportLines
// only counted, so that a file of a million broken items is reported in bounded memory.
class ReportLines {
public:
    void Add(std::string line) {
        ++count_;
        if (lines_.size() < kMaxReportLines) {
            lines_.push_back(std::move(line));
        }
    }
    void AddAll(std::vector<std::string>& lines) {
        for (std::string& line : lines) {
            Add(std::move(line));
        }
        lines.clear();
    }
    size_t Count() const { return count_; }
    void Print(std::ostream& stream, std::string_view label) const {
        for (const std::string& line : lines_) {
            stream << label << ": " << Escaped(line) << "\n";
        }
        if (count_ > lines_.size()) {
            stream << label << ": and " << count_ - lines_.size() << " more not listed\n";
        }
    }

private:
    static constexpr size_t kMaxReportLines = 10000;
    std::vector<std::string> lines_;
    size_t count_ = 0;
};

// What an import found and did, gathered batch by batch.
struct ImportReport {
    size_t appointments = 0;
    size_t tasks = 0;
    size_t added = 0;
    size_t updated = 0;
    size_t unchanged = 0;
    ReportLines kept;
    ReportLines notes;
    ReportLines dropped;
    ReportLines skipped;

    void Take(calendar::ImportedCalendar& batch) {
        appointments += batch.appointments.size();
        tasks += batch.tasks.size();
        kept.AddAll(batch.changedOccurrences);
        notes.AddAll(batch.notes);
        dropped.AddAll(batch.dropped);
        skipped.AddAll(batch.skipped);
    }
    // What the file held that was left out, one line each on standard error; the changes kept
    // with their series and the notes go with the summary.
    void Print(std::ostream& out, std::ostream& err) const {
        kept.Print(out, "kept");
        notes.Print(out, "note");
        dropped.Print(err, "dropped");
        skipped.Print(err, "skipped");
    }
    // "; 2 dropped" for the properties left out of imported items, nothing when none was.
    std::string DroppedCount() const {
        return dropped.Count() == 0 ? std::string()
                                    : "; " + std::to_string(dropped.Count()) + " dropped";
    }
};

// Gives each appointment that came with handwriting an ink file of its own (or the one its stored
// item already has for the same drawing). Handwriting that cannot be stored is reported and left
// out; the appointment is imported with its typed text.
platform::Result<void> StoreCarriedInk(calendar::ImportedCalendar& calendar,
                                       const store::Application& store,
                                       schedule::IncomingInkFiles& inkFiles,
                                       std::vector<store::IncomingAppointment>& incoming,
                                       ReportLines& skipped) {
    for (size_t i = 0; i < incoming.size() && i < calendar.appointmentsInk.size(); ++i) {
        const calendar::AppointmentInk& ink = calendar.appointmentsInk[i];
        if (ink.empty()) {
            continue;
        }
        calendar::AppointmentRecord& record = incoming[i].record;
        auto stored = store.AppointmentByUid(record.uid);
        if (!stored) {
            return stored.error();
        }
        schedule::GiveCarriedInk(
            inkFiles, record, ink, *stored ? &**stored : nullptr,
            [&](const calendar::CarriedInk& carried, const platform::Error& error) {
                skipped.Add("line " + std::to_string(carried.line) + ": the handwriting of " +
                            record.uid + " is not imported: " + error.message);
            });
        if (ink.item) {
            // The memo and its mark come from the file, even where its DESCRIPTION was left out.
            incoming[i].given.Add(calendar::ItemField::Body);
        }
    }
    return {};
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

// Stores one batch of an import inside its transaction. Items whose UIDs are stored already are
// updated in place, so a file imported twice gives its items once.
platform::Result<void> StoreBatch(const platform::DataHome& home, store::Application& store,
                                  calendar::ImportedCalendar& batch,
                                  std::optional<schedule::IncomingInkFiles>& inkFiles,
                                  ImportReport& report, std::ostream& err) {
    std::vector<store::IncomingAppointment> appointments;
    appointments.reserve(batch.appointments.size());
    for (size_t i = 0; i < batch.appointments.size(); ++i) {
        appointments.push_back({std::move(batch.appointments[i]), batch.appointmentsGive[i]});
    }
    std::vector<store::IncomingTask> tasks;
    tasks.reserve(batch.tasks.size());
    for (size_t i = 0; i < batch.tasks.size(); ++i) {
        tasks.push_back({std::move(batch.tasks[i]), batch.tasksGive[i]});
    }
    if (CarriesInk(batch)) {
        // The data folder is looked up only for handwriting, which most calendars do not carry.
        if (!inkFiles) {
            inkFiles.emplace(home, LoadHomeSettings(home, err).DataPath, store);
        }
        if (auto given = StoreCarriedInk(batch, store, *inkFiles, appointments, report.skipped);
            !given) {
            return given;
        }
    }
    // How the output names an item the store keeps a later version of.
    std::vector<std::string> names;
    names.reserve(appointments.size() + tasks.size());
    for (const store::IncomingAppointment& incoming : appointments) {
        names.push_back("VEVENT " + incoming.record.uid);
    }
    for (const store::IncomingTask& incoming : tasks) {
        names.push_back("VTODO " + incoming.record.uid);
    }
    report.Take(batch);
    auto saved = store.SaveByUid(std::move(appointments), std::move(tasks));
    if (!saved) {
        return saved.error();
    }
    using Outcome = store::UidSaveSummary::Outcome;
    report.added += static_cast<size_t>(saved->Count(Outcome::Added));
    report.updated += static_cast<size_t>(saved->Count(Outcome::Updated));
    report.unchanged += static_cast<size_t>(saved->Count(Outcome::Unchanged));
    size_t next = 0;
    for (const auto* items : {&saved->appointments, &saved->tasks}) {
        for (const store::UidSaveSummary::Item& item : *items) {
            if (item.outcome == Outcome::Earlier) {
                report.skipped.Add(names[next] +
                                   " is an earlier version of the stored one (a lower SEQUENCE "
                                   "or an earlier DTSTAMP); not taken");
            }
            ++next;
        }
    }
    return {};
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
    auto input = OpenCalendarFile(file);
    if (!input) {
        return Fail(err, kImport, kFailureStatus, input.error().message);
    }
    ImportReport report;
    if (options.checkOnly) {
        auto read = calendar::StreamICalendar(*input->source, options.mode,
                                              [&](calendar::ImportedCalendar& batch) {
                                                  report.Take(batch);
                                                  return platform::Result<void>();
                                              });
        if (!read) {
            return Fail(err, kImport, kFailureStatus,
                        file + ": " + read.error().message + " (nothing was imported)");
        }
        out << "would import " << report.appointments << " appointments and " << report.tasks
            << " tasks from " << Escaped(file) << report.DroppedCount() << "; "
            << report.skipped.Count() << " skipped\n";
        report.Print(out, err);
        return ImportStatus(report.appointments + report.tasks,
                            report.dropped.Count() + report.skipped.Count());
    }
    store::Application store;
    if (auto logOn = LogOn(home, store); !logOn) {
        return Fail(err, kImport, kFailureStatus, logOn.error().message);
    }
    // Handwriting an import or sync killed before its store write left behind frees its numbers.
    schedule::RemoveUnstoredInkFiles(home, store);
    // The whole file is one transaction of the store, each batch a part of it: a failure, or the
    // end of the process, at any batch leaves the store as it was.
    if (auto begun = store.BeginWrites(); !begun) {
        return Fail(err, kImport, kFailureStatus,
                    begun.error().message + " (nothing was imported)");
    }
    // The ink files written for it go again with inkFiles, unless the store keeps them.
    std::optional<schedule::IncomingInkFiles> inkFiles;
    platform::Error storeError;
    bool storeFailed = false;
    auto read = calendar::StreamICalendar(
        *input->source, options.mode, [&](calendar::ImportedCalendar& batch) {
            auto stored = StoreBatch(home, store, batch, inkFiles, report, err);
            if (!stored) {
                storeFailed = true;
                storeError = stored.error();
            }
            return stored;
        });
    if (read) {
        read = store.CommitWrites();
        storeFailed = !read;
        if (!read) {
            storeError = read.error();
        }
    }
    if (!read) {
        store.RollBackWrites();
        return Fail(err, kImport, kFailureStatus,
                    (storeFailed ? storeError.message : file + ": " + read.error().message) +
                        " (nothing was imported)");
    }
    if (inkFiles) {
        inkFiles->Settle(true, store);
    }
    out << "imported " << report.appointments << " appointments and " << report.tasks
        << " tasks from " << Escaped(file) << ": " << report.added << " added, " << report.updated
        << " updated, " << report.unchanged << " unchanged" << report.DroppedCount() << "; "
        << report.skipped.Count() << " skipped\n";
    report.Print(out, err);
    return ImportStatus(report.appointments + report.tasks,
                        report.dropped.Count() + report.skipped.Count());
}

int ExportCalendar(const platform::DataHome& home, const std::string& file) {
    std::ostream& err = std::cerr;
    store::Application store;
    if (auto logOn = LogOn(home, store); !logOn) {
        return Fail(err, kExport, kFailureStatus, logOn.error().message);
    }
    const std::u16string dataFolder = LoadHomeSettings(home, err).DataPath;
    if (file == "-") {
        // The scratch text waits in the data home, which is the user's own, or where temporary
        // files go when the data home cannot be written here.
        std::error_code noTemporaryFolder;
        const std::filesystem::path scratchFolder =
            store.IsReadOnly() ? std::filesystem::temp_directory_path(noTemporaryFolder)
                               : home.StorePath().parent_path();
        auto written = schedule::WriteStoreCalendar(
            home, dataFolder, store, platform::SystemClock(), scratchFolder,
            [](std::string_view piece) -> platform::Result<void> {
                if (!std::cout.write(piece.data(), static_cast<std::streamsize>(piece.size()))) {
                    return platform::MakeError("cannot write to standard output");
                }
                return {};
            });
        std::cout.flush();
        if (!written || !std::cout) {
            return Fail(err, kExport, kFailureStatus,
                        written ? "cannot write to standard output" : written.error().message);
        }
        return 0;
    }
    // Into a folder that is there, as `cp` writes: a mistyped folder is not made. The file is
    // replaced only when the whole calendar is written.
    auto replacement = platform::FileReplacement::Begin(file, platform::MissingFolders::Refuse);
    if (!replacement) {
        return Fail(err, kExport, kFailureStatus, replacement.error().message);
    }
    const std::filesystem::path target(file);
    auto written = schedule::WriteStoreCalendar(
        home, dataFolder, store, platform::SystemClock(),
        target.has_parent_path() ? target.parent_path() : std::filesystem::path("."),
        [&](std::string_view piece) { return replacement->Write(piece); });
    if (!written) {
        return Fail(err, kExport, kFailureStatus, written.error().message);
    }
    if (auto committed = replacement->Commit(); !committed) {
        return Fail(err, kExport, kFailureStatus, committed.error().message);
    }
    std::cout << "exported " << written->appointments << " appointments and " << written->tasks
              << " tasks to " << Escaped(file) << "\n";
    return 0;
}

}  // namespace cli
