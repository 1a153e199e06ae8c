#include "cli/entry_commands.h"

#include <charconv>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>

#include "calendar/handwritten_memo.h"
#include "cli/calendars_command.h"
#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/home_settings.h"
#include "cli/terminal_text.h"
#include "controls/history.h"
#include "controls/pad_data.h"
#include "editors/appointment_writes.h"
#include "editors/edit_record.h"
#include "editors/store_write_context.h"
#include "editors/task_writes.h"
#include "editors/undo_steps.h"
#include "platform/files/file_operations.h"
#include "platform/text/unicode_text.h"
#include "schedule/ink_file.h"

namespace cli {
namespace {

// Options of one command: those that take a value, and flags.
struct KnownOptions {
    std::set<std::string> valued;
    std::set<std::string> flags;
};

struct Options {
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    const std::string* Value(const std::string& name) const {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : &found->second;
    }
    bool Has(const std::string& name) const { return flags.contains(name); }
};

std::optional<Options> ReadOptions(const std::vector<std::string>& args, size_t first,
                                   const KnownOptions& known, std::string_view command,
                                   std::ostream& err) {
    Options options;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (known.valued.contains(arg) && i + 1 < args.size()) {
            options.values[arg] = args[++i];
        } else if (known.flags.contains(arg)) {
            options.flags.insert(arg);
        } else {
            Fail(err, command, kUsageStatus,
                 known.valued.contains(arg) ? arg + " needs a value"
                                            : "unexpected argument: " + arg);
            return std::nullopt;
        }
    }
    return options;
}

// A text argument as the planner keeps it; nullopt (reported) when it is not UTF-8 or longer
// than the field holds: quick entry never cuts what was typed.
std::optional<std::u16string> TextArgument(const std::string& text, std::string_view name,
                                           size_t maxChars, std::string_view command,
                                           std::ostream& err) {
    auto converted = platform::Utf8ToUtf16(text);
    if (!std::holds_alternative<std::u16string>(converted)) {
        Fail(err, command, kUsageStatus, std::string(name) + " is not UTF-8 text");
        return std::nullopt;
    }
    std::u16string value = std::get<std::u16string>(std::move(converted));
    if (value.size() > maxChars) {
        Fail(err, command, kUsageStatus,
             std::string(name) + " is longer than " + std::to_string(maxChars) + " characters");
        return std::nullopt;
    }
    return value;
}

// The planner's pieces a write needs: settings, store, the month census (which a holiday write
// marks stale; here nothing reads it afterwards) and the history lists as start-up loads them.
struct Planner {
    Planner(const platform::DataHome& dataHome, const platform::Clock& localClock,
            std::ostream& err)
        : home(dataHome),
          clock(localClock),
          settings(LoadHomeSettings(dataHome, err)),
          store(dataHome.StorePath()),
          history(std::make_unique<controls::HistoryLists>()) {
        controls::LoadSubjectLocationHistory(*history, home, settings.DataPath);
        controls::LoadTaskHistory(*history, home, settings.DataPath);
    }
    editors::StoreWriteContext Context() { return {store, home, settings, census, clock}; }

    const platform::DataHome& home;
    const platform::Clock& clock;
    settings::Settings settings;
    schedule::StoreSession store;
    schedule::MonthCensusState census;
    std::unique_ptr<controls::HistoryLists> history;
};

// The calendar `--calendar NAME` names for a new item, 0 without the option (the default
// calendar); nullopt, said on `err`, when no calendar of the store can take the item.
std::optional<int64_t> NewItemCalendar(Planner& planner, const Options& options,
                                       std::string_view command, std::ostream& err) {
    const std::string* name = options.Value("--calendar");
    if (!name) {
        return int64_t{0};
    }
    auto application = planner.store.LoggedOnApplication();
    if (!application) {
        Fail(err, command, kFailureStatus, application.error().message);
        return std::nullopt;
    }
    auto calendars = (*application)->Calendars();
    if (!calendars) {
        Fail(err, command, kFailureStatus, calendars.error().message);
        return std::nullopt;
    }
    const store::StoreCalendar* named = CalendarNamed(*calendars, *name);
    if (!named) {
        Fail(err, command, kFailureStatus, "no calendar is named \"" + *name + "\"");
        return std::nullopt;
    }
    if (named->readOnly) {
        Fail(err, command, kFailureStatus,
             "the calendar \"" + *name + "\" is read-only: nothing can be added to it");
        return std::nullopt;
    }
    return named->id;
}

int WriteFailed(std::ostream& err, std::string_view command, const editors::WriteResult& result) {
    if (result.status == editors::WriteStatus::NoRoomForInk) {
        return Fail(err, command, kFailureStatus,
                    platform::Utf16ToUtf8Lossy(editors::kNoMoreRoomMessage));
    }
    if (result.status == editors::WriteStatus::ItemMissing) {
        return Fail(err, command, kFailureStatus, "no item has that object id");
    }
    return Fail(err, command, kFailureStatus, result.detail);
}

void WarnHistoryNotSaved(std::ostream& err, const platform::Result<void>& saved) {
    if (!saved) {
        err << "tessarinth-cli: add: stored, but the history lists were not saved: "
            << Escaped(saved.error().message) << "\n";
    }
}

// The records of an ink file given on the command line, as the pad would hold them. Only a
// regular file is read, and never more of it than a memo can hold.
std::optional<int32_t> ReadInkArgument(const std::string& file, controls::PadData& pad,
                                       std::string_view command, std::ostream& err) {
    const platform::Result<std::string> bytes =
        platform::ReadWholeFile(file, schedule::kMaxInkBytes);
    if (!bytes) {
        Fail(err, command, kFailureStatus, bytes.error().message);
        return std::nullopt;
    }
    if (bytes->empty() || bytes->size() % schedule::kInkEntryBytes != 0) {
        Fail(err, command, kUsageStatus,
             file + ": not an ink file (whole 8-byte records, 1 to 2000 of them)");
        return std::nullopt;
    }
    const auto* data = reinterpret_cast<const std::byte*>(bytes->data());
    return static_cast<int32_t>(
        schedule::DecodeInkEntries(std::span(data, bytes->size()), pad.InkBuffer));
}

int AddAppointment(const platform::DataHome& home, const std::vector<std::string>& args,
                   const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "add appointment";
    const KnownOptions known{
        {"--start", "--end", "--subject", "--location", "--memo", "--ink", "--calendar"},
        {"--all-day", "--reminder", "--holiday"}};
    const std::optional<Options> options = ReadOptions(args, 1, known, kCommand, err);
    if (!options) {
        return kUsageStatus;
    }
    const std::string* start = options->Value("--start");
    const std::string* end = options->Value("--end");
    const std::string* subject = options->Value("--subject");
    if (!start || !end || !subject) {
        return Fail(err, kCommand, kUsageStatus, "--start, --end and --subject are needed");
    }
    const bool allDay = options->Has("--all-day");
    // An all-day appointment keeps its first and last day at 00:00.
    const auto parseTime = [allDay](const std::string& text) {
        std::optional<platform::Date> date = ParseMinuteArgument(text);
        if (allDay && !date) {
            date = ParseDayArgument(text);
        }
        if (allDay && date) {
            date = static_cast<platform::Date>(platform::DayNumber(*date));
        }
        return date;
    };
    const std::optional<platform::Date> startDate = parseTime(*start);
    const std::optional<platform::Date> endDate = parseTime(*end);
    if (!startDate || !endDate) {
        return Fail(err, kCommand, kUsageStatus,
                    "not a time (YYYY-MM-DDTHH:MM): " + (startDate ? *end : *start));
    }
    if (platform::DateToLinear(*endDate) < platform::DateToLinear(*startDate)) {
        return Fail(err, kCommand, kUsageStatus, "the end lies before the start");
    }

    auto record = std::make_unique<editors::EditRecord>();
    editors::FillForNewAppointment(*record, *startDate);
    record->End = *endDate;
    const std::optional<std::u16string> subjectText =
        TextArgument(*subject, "--subject", editors::kMaxSubjectChars, kCommand, err);
    const std::optional<std::u16string> locationText =
        TextArgument(options->Value("--location") ? *options->Value("--location") : "",
                     "--location", editors::kMaxLocationChars, kCommand, err);
    const std::optional<std::u16string> memoText =
        TextArgument(options->Value("--memo") ? *options->Value("--memo") : "", "--memo",
                     editors::kMaxBodyChars, kCommand, err);
    if (!subjectText || !locationText || !memoText) {
        return kUsageStatus;
    }
    record->Subject = *subjectText;
    record->Location = *locationText;
    record->AllDay = allDay ? 1 : 0;
    record->Reminder = options->Has("--reminder") ? 1 : 0;
    record->Holiday = options->Has("--holiday") ? 1 : 0;

    // The memo and the ink go where the editor's pad would hold them.
    auto pad = std::make_unique<controls::PadData>();
    if (const std::string* ink = options->Value("--ink")) {
        const std::optional<int32_t> count = ReadInkArgument(*ink, *pad, kCommand, err);
        if (!count) {
            return kFailureStatus;
        }
        pad->InkCount = *count;
        if (!memoText->empty()) {
            err << "tessarinth-cli: add: a memo text replaces handwriting; the ink is not kept\n";
        }
    }

    Planner planner(home, clock, err);
    const std::optional<int64_t> calendarId = NewItemCalendar(planner, *options, kCommand, err);
    if (!calendarId) {
        return kFailureStatus;
    }
    record->CalendarId = *calendarId;
    const editors::WriteResult written = editors::RecordedWrite(
        planner.Context(), editors::ChangeKind::Created, calendar::ItemKind::Appointment, 0,
        [&] { return editors::CreateAppointment(planner.Context(), *record, *pad, *memoText); });
    if (!written) {
        return WriteFailed(err, kCommand, written);
    }
    controls::RememberHistoryText(planner.history->SubjectHistory, record->Subject);
    controls::RememberHistoryText(planner.history->LocationHistory, record->Location);
    WarnHistoryNotSaved(err, controls::SaveSubjectLocationHistory(*planner.history, home,
                                                                  planner.settings.DataPath));
    out << written.itemOid << "\n";
    return 0;
}

int AddTask(const platform::DataHome& home, const std::vector<std::string>& args,
            const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "add task";
    const KnownOptions known{{"--subject", "--due", "--notes", "--calendar"}, {"--complete"}};
    const std::optional<Options> options = ReadOptions(args, 1, known, kCommand, err);
    if (!options) {
        return kUsageStatus;
    }
    const std::string* subject = options->Value("--subject");
    if (!subject) {
        return Fail(err, kCommand, kUsageStatus, "--subject is needed");
    }
    platform::Date due = 0.0;  // no due date
    if (const std::string* dueText = options->Value("--due")) {
        const std::optional<platform::Date> parsed = ParseDayArgument(*dueText);
        if (!parsed) {
            return Fail(err, kCommand, kUsageStatus, "not a date (YYYY-MM-DD): " + *dueText);
        }
        due = *parsed;
    }
    const std::optional<std::u16string> subjectText =
        TextArgument(*subject, "--subject", editors::kMaxSubjectChars, kCommand, err);
    const std::optional<std::u16string> notes =
        TextArgument(options->Value("--notes") ? *options->Value("--notes") : "", "--notes",
                     editors::kMaxBodyChars, kCommand, err);
    if (!subjectText || !notes) {
        return kUsageStatus;
    }
    auto record = std::make_unique<editors::EditRecord>();
    editors::FillForNewTask(*record, due);
    record->Subject = *subjectText;
    record->Body = *notes;
    record->Complete = options->Has("--complete") ? 1 : 0;

    // The task editor's save: with or without a due date, the notes are stored.
    Planner planner(home, clock, err);
    const std::optional<int64_t> calendarId = NewItemCalendar(planner, *options, kCommand, err);
    if (!calendarId) {
        return kFailureStatus;
    }
    record->CalendarId = *calendarId;
    const editors::WriteResult written = editors::RecordedWrite(
        planner.Context(), editors::ChangeKind::Created, calendar::ItemKind::Task, 0,
        [&] { return editors::SaveEditedTask(planner.Context(), *record); });
    if (!written) {
        return WriteFailed(err, kCommand, written);
    }
    controls::RememberHistoryText(planner.history->TaskHistory, record->Subject);
    WarnHistoryNotSaved(
        err, controls::SaveTaskHistory(*planner.history, home, planner.settings.DataPath));
    out << written.itemOid << "\n";
    return 0;
}

std::optional<int32_t> ParseObjectId(std::string_view text) {
    int32_t oid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), oid);
    if (error != std::errc() || end != text.data() + text.size() || oid <= 0) {
        return std::nullopt;
    }
    return oid;
}

}  // namespace

int AddCommand(const platform::DataHome& home, const std::vector<std::string>& args,
               const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    if (auto folders = home.EnsureFolders(); !folders) {
        return Fail(err, "add", kFailureStatus, folders.error().message);
    }
    if (!args.empty() && args[0] == "appointment") {
        return AddAppointment(home, args, clock, out, err);
    }
    if (!args.empty() && args[0] == "task") {
        return AddTask(home, args, clock, out, err);
    }
    return Fail(err, "add", kUsageStatus, "expected: add appointment ... or add task ...");
}

int DeleteCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "delete";
    const std::optional<int32_t> oid = args.size() == 1 ? ParseObjectId(args[0]) : std::nullopt;
    if (!oid) {
        return Fail(err, kCommand, kUsageStatus, "expected one object id (a positive number)");
    }
    Planner planner(home, clock, err);
    const platform::Result<store::Application*> application = planner.store.LoggedOnApplication();
    if (!application) {
        return Fail(err, kCommand, kFailureStatus, application.error().message);
    }
    auto record = std::make_unique<editors::EditRecord>();
    editors::WriteResult deleted;
    if (auto appointment = (*application)->GetAppointmentFromOid(*oid)) {
        // As the editor would have opened it: the holiday box and the ink the memo names.
        editors::FillForNewAppointment(*record, appointment->Start());
        record->ItemOid = *oid;
        record->Body = appointment->Body();
        record->Handwritten = appointment->Handwritten() ? 1 : 0;
        record->Holiday = appointment->Categories() == planner.settings.HoliDay ? 1 : 0;
        record->InkCountAtOpen = schedule::ReadInkFile(
            home, planner.settings.DataPath,
            calendar::InkNameOf(record->Body, appointment->Handwritten()), record->InkEntries);
        deleted = editors::RecordedWrite(
            planner.Context(), editors::ChangeKind::Deleted, calendar::ItemKind::Appointment, *oid,
            [&] { return editors::DeleteAppointment(planner.Context(), *record); });
    } else if (auto task = (*application)->GetTaskFromOid(*oid)) {
        editors::FillForNewTask(*record, 0.0);
        record->ItemOid = *oid;
        deleted = editors::RecordedWrite(
            planner.Context(), editors::ChangeKind::Deleted, calendar::ItemKind::Task, *oid,
            [&] { return editors::DeleteTask(planner.Context(), *record); });
    } else {
        return Fail(err, kCommand, kFailureStatus, "no item has object id " + args[0]);
    }
    if (!deleted) {
        return WriteFailed(err, kCommand, deleted);
    }
    out << "deleted " << *oid << "\n";
    return 0;
}

int MoveCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "move";
    const std::optional<int32_t> oid = !args.empty() ? ParseObjectId(args[0]) : std::nullopt;
    const std::optional<Options> options =
        oid ? ReadOptions(args, 1, KnownOptions{{"--calendar"}, {}}, kCommand, err) : std::nullopt;
    if (!oid || !options || !options->Value("--calendar")) {
        return Fail(err, kCommand, kUsageStatus, "expected: move OID --calendar NAME");
    }
    Planner planner(home, clock, err);
    const std::optional<int64_t> calendarId = NewItemCalendar(planner, *options, kCommand, err);
    if (!calendarId) {
        return kFailureStatus;
    }
    const platform::Result<store::Application*> application = planner.store.LoggedOnApplication();
    if (!application) {
        return Fail(err, kCommand, kFailureStatus, application.error().message);
    }
    // The item keeps everything but its calendar; the next sync sends it to the new collection
    // and only then deletes it from the old.
    const auto moveTo = [&](auto item) {
        item.SetCalendarId(*calendarId);
        if (auto saved = item.Save(); !saved) {
            return editors::Failure(editors::WriteStatus::StoreFailed, saved.error());
        }
        return editors::WriteResult{editors::WriteStatus::Written, "", *oid};
    };
    editors::WriteResult moved;
    if (auto appointment = (*application)->GetAppointmentFromOid(*oid)) {
        moved = editors::RecordedWrite(planner.Context(), editors::ChangeKind::Saved,
                                       calendar::ItemKind::Appointment, *oid,
                                       [&] { return moveTo(std::move(*appointment)); });
    } else if (auto task = (*application)->GetTaskFromOid(*oid)) {
        moved = editors::RecordedWrite(planner.Context(), editors::ChangeKind::Saved,
                                       calendar::ItemKind::Task, *oid,
                                       [&] { return moveTo(std::move(*task)); });
    } else {
        return Fail(err, kCommand, kFailureStatus, "no item has object id " + args[0]);
    }
    if (!moved) {
        return WriteFailed(err, kCommand, moved);
    }
    out << "moved " << *oid << " to " << Escaped(*options->Value("--calendar")) << "\n";
    return 0;
}

int HistoryCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                   std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "history";
    if (args.size() != 1 || (args[0] != "subject" && args[0] != "location" && args[0] != "task")) {
        return Fail(err, kCommand, kUsageStatus, "expected: history subject|location|task");
    }
    // The lists as start-up loads them, from the data folder the settings name.
    const settings::Settings settings = LoadHomeSettings(home, err);
    controls::HistoryLists history;
    controls::LoadSubjectLocationHistory(history, home, settings.DataPath);
    controls::LoadTaskHistory(history, home, settings.DataPath);
    const controls::HistoryList& list = args[0] == "subject"    ? history.SubjectHistory
                                        : args[0] == "location" ? history.LocationHistory
                                                                : history.TaskHistory;
    for (const std::u16string& text : list.Texts()) {
        out << OneLine(text) << "\n";
    }
    return 0;
}

int UndoCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                const platform::Clock& clock, store::StepDirection direction, std::ostream& out,
                std::ostream& err) {
    const bool back = direction == store::StepDirection::Back;
    const std::string_view command = back ? "undo" : "redo";
    const bool list = back && args.size() == 1 && args[0] == "--list";
    if (!args.empty() && !list) {
        return Fail(err, command, kUsageStatus,
                    back ? "expected: undo [--list]" : "expected: redo");
    }
    Planner planner(home, clock, err);
    if (list) {
        const platform::Result<store::Application*> application =
            planner.store.LoggedOnApplication();
        if (!application) {
            return Fail(err, command, kFailureStatus, application.error().message);
        }
        auto steps = (*application)->UndoSteps(editors::StepHome(home));
        if (!steps) {
            return Fail(err, command, kFailureStatus, steps.error().message);
        }
        for (const store::UndoStep& step : *steps) {
            out << (step.undone ? "undone" : "done") << "\t" << FormatMinute(step.madeAt) << "\t"
                << editors::ChangeKindName(step.action) << "\t"
                << (step.kind == calendar::ItemKind::Task ? "task" : "appointment") << "\t"
                << TsvField(step.subject) << "\t" << TsvField(platform::Utf8ToUtf16Lossy(step.uid))
                << "\n";
        }
        return 0;
    }
    const editors::StepResult result = editors::ApplyNextStep(planner.Context(), direction);
    // On one line, its control characters shown: the subject may come from any calendar.
    const std::string subject = OneLine(result.subject);
    switch (result.status) {
        case editors::StepResult::Status::Applied:
            out << (back ? "undone: " : "redone: ")
                << editors::ChangeKindName(int32_t(result.change)) << " " << subject << "\n";
            return 0;
        case editors::StepResult::Status::NothingToApply:
            return Fail(err, command, kFailureStatus, back ? "nothing to undo" : "nothing to redo");
        case editors::StepResult::Status::ItemChanged:
            return Fail(err, command, kFailureStatus,
                        "\"" + subject + "\" was changed since (" +
                            std::string(editors::ChangeKindName(int32_t(result.change))) +
                            "); nothing was " + (back ? "undone" : "redone"));
        case editors::StepResult::Status::Damaged:
            return Fail(err, command, kFailureStatus,
                        "the step kept for \"" + subject + "\" (" +
                            std::string(editors::ChangeKindName(int32_t(result.change))) +
                            ") is damaged and was set aside; nothing was " +
                            (back ? "undone" : "redone") + ", and the next " +
                            std::string(command) + " takes the step before it");
        case editors::StepResult::Status::ReadOnly:
            return Fail(err, command, kFailureStatus,
                        "\"" + subject + "\" is in the calendar \"" + OneLine(result.calendar) +
                            "\", which is read-only; nothing was " + (back ? "undone" : "redone"));
        case editors::StepResult::Status::Failed:
            break;
    }
    return Fail(err, command, kFailureStatus, result.detail);
}

}  // namespace cli
