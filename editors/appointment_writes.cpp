#include "editors/appointment_writes.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "calendar/handwritten_memo.h"
#include "calendar/lone_occurrence.h"
#include "platform/files/file_operations.h"
#include "schedule/ink_file.h"
#include "schedule/ink_file_writer.h"
#include "store/recurrence_expander.h"
#include "store/schedule_store.h"

namespace editors {
namespace {

// A body split after its first line; the day loader reads the first line as the ink file's
// name.
struct MemoLines {
    std::u16string first;
    std::u16string lineBreak;  // "\r\n", "\r" or "\n"; empty when the body is one line
    std::u16string rest;
};

MemoLines SplitFirstLine(std::u16string_view body) {
    const size_t end = body.find_first_of(u"\r\n");
    if (end == std::u16string_view::npos) {
        return MemoLines{std::u16string(body), u"", u""};
    }
    const size_t breakLength = body.substr(end).starts_with(u"\r\n") ? 2 : 1;
    return MemoLines{std::u16string(body.substr(0, end)),
                     std::u16string(body.substr(end, breakLength)),
                     std::u16string(body.substr(end + breakLength))};
}

// The text with every line break as a line feed: the pad's text box gives each one back as
// CR LF, whatever another program wrote.
std::u16string WithLineFeeds(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            out += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

store::StoreFlag AsStoreFlag(int32_t flag) {
    return flag != 0 ? store::kTrue : store::kFalse;
}

std::span<const schedule::InkEntry> LiveInk(const controls::PadData& pad) {
    const int32_t count =
        std::clamp<int32_t>(pad.InkCount, 0, static_cast<int32_t>(schedule::kMaxInkEntries));
    return std::span<const schedule::InkEntry>(pad.InkBuffer.data(), static_cast<size_t>(count));
}

// Whether the start and end of the record are written: a series keeps its own, since the
// record may hold one occurrence's.
enum class Times { Write, KeepStored };

// Subject, location, start, end, body, all-day and reminder, in the order the store takes them.
void SetDetails(store::Appointment& appointment, const EditRecord& record, Times times) {
    appointment.SetSubject(record.Subject);
    appointment.SetLocation(record.Location);
    if (times == Times::Write) {
        appointment.SetStart(record.Start);
        appointment.SetEnd(record.End);
    }
    appointment.SetBody(LimitedText(record.Body, kMaxBodyChars));
    appointment.SetHandwritten(record.Handwritten != 0);
    appointment.SetAllDayEvent(AsStoreFlag(record.AllDay));
    appointment.SetReminderSet(AsStoreFlag(record.Reminder));
}

// The categories of a changed appointment: the holiday category alone when the box is set;
// none when it was cleared; otherwise left alone (or none for a new appointment). Any change
// involving the holiday category moves the month grid's holiday colouring.
void SetCategories(const StoreWriteContext& context, store::Appointment& appointment,
                   const EditRecord& record, bool isNew) {
    if (record.Holiday != 0) {
        appointment.SetCategories(context.settings.HoliDay);
        schedule::InvalidateMonthCensus(context.census);
    } else if (isNew) {
        appointment.SetCategories(u"");
    } else if (record.HolidayAtOpen != 0) {
        appointment.SetCategories(u"");
        schedule::InvalidateMonthCensus(context.census);
    }
}

// An ink number taken for a memo that is not stored yet: its file (empty until written) goes
// again unless the store came to name it. It is listed beside the store while the save runs, as
// an import lists its claims: a planner killed between the claim and the store write leaves a
// file the next start removes, not one that holds its number for ever.
class InkClaim {
public:
    explicit InkClaim(const StoreWriteContext& context)
        : context_(context), journal_(context.home, context.settings.DataPath) {}
    ~InkClaim() {
        if (!name_.empty() && !kept_) {
            (void)schedule::DeleteInkFile(context_.home, context_.settings.DataPath, name_);
        }
    }
    InkClaim(const InkClaim&) = delete;
    InkClaim& operator=(const InkClaim&) = delete;

    // Ink names are taken before anything is written: a body never names a number that was
    // not free, nor a path the day loader would refuse.
    platform::Result<std::u16string> Take() {
        auto application = context_.store.LoggedOnApplication();
        if (!application) {
            failure_ = schedule::InkClaimFailure::FolderUnusable;
            return application.error();
        }
        auto number = schedule::ClaimFreeInkNumber(context_.home, context_.settings.DataPath,
                                                   **application, &journal_, &failure_);
        if (!number) {
            return number.error();
        }
        name_ = schedule::InkFileName(*number);
        return name_;
    }
    // What a failed Take tells the user: the numbers ran out, or the folder takes no file.
    WriteStatus FailureStatus() const {
        return failure_ == schedule::InkClaimFailure::NumbersTaken ? WriteStatus::NoRoomForInk
                                                                   : WriteStatus::InkFileFailed;
    }
    void Keep() { kept_ = true; }

private:
    const StoreWriteContext& context_;
    // Goes after the destructor has deleted the file of a save that failed.
    schedule::InkClaimJournal journal_;
    std::u16string name_;
    bool kept_ = false;
    schedule::InkClaimFailure failure_ = schedule::InkClaimFailure::NumbersTaken;
};

// Whether a stored item other than `exceptOid` names the ink file on its memo's first line (an
// imported calendar can give two items one file). When the store cannot say, the file counts
// as named: handwriting is never deleted on a guess.
bool NamedElsewhere(store::Application& application, std::u16string_view name, int32_t exceptOid) {
    const platform::Result<bool> elsewhere = application.IsInkFileNamedElsewhere(name, exceptOid);
    return !elsewhere || *elsewhere;
}

// Deletes an ink file the item no longer names, unless another item still does. A file that
// will not go is only an unused number.
void ReleaseInkFile(const StoreWriteContext& context, store::Application& application,
                    std::u16string_view name, int32_t exceptOid) {
    if (!NamedElsewhere(application, name, exceptOid)) {
        (void)schedule::DeleteInkFile(context.home, context.settings.DataPath, name);
    }
}

// Whether the ink file already holds exactly these records.
bool HoldsInk(const StoreWriteContext& context, std::u16string_view name,
              std::span<const schedule::InkEntry> ink) {
    auto path = schedule::InkFilePath(context.home, context.settings.DataPath, name);
    if (!path) {
        return false;
    }
    auto bytes = platform::ReadWholeFile(*path, schedule::kMaxInkBytes);
    return bytes && *bytes == schedule::EncodeInkEntries(ink);
}

// The ink file a handwritten memo names; nothing for a text memo.
std::optional<std::u16string> InkNameOf(std::u16string_view body, bool handwritten) {
    const std::u16string_view name = calendar::InkNameOf(body, handwritten);
    return name.empty() ? std::nullopt : std::optional<std::u16string>(name);
}

std::optional<std::u16string> InkNameOf(const calendar::AppointmentRecord& item) {
    return InkNameOf(item.body, item.handwritten);
}

// The ink files the appointment's memo and its changed occurrences' memos name, each once.
std::vector<std::u16string> InkNamesOf(const calendar::AppointmentRecord& item) {
    std::vector<std::u16string> names;
    const auto collect = [&names](std::optional<std::u16string> name) {
        if (name && std::find(names.begin(), names.end(), *name) == names.end()) {
            names.push_back(std::move(*name));
        }
    };
    collect(InkNameOf(item));
    for (const calendar::OccurrenceChange& change : item.recurrence.changes) {
        collect(InkNameOf(change.body, change.handwritten));
    }
    return names;
}

// Whether the appointment's memo or a memo of one of its changed occurrences names the file.
bool NamesInk(const calendar::AppointmentRecord& item, std::u16string_view name) {
    if (InkNameOf(item) == name) {
        return true;
    }
    return std::any_of(item.recurrence.changes.begin(), item.recurrence.changes.end(),
                       [name](const calendar::OccurrenceChange& change) {
                           return InkNameOf(change.body, change.handwritten) == name;
                       });
}

// What the occurrence EditRecord::Occurrence of `series` becomes on its own: the record's times,
// texts, memo and boxes, and what its earlier change kept that the editor does not show.
calendar::OccurrenceChange ChangeFromRecord(const StoreWriteContext& context,
                                            const calendar::AppointmentRecord& series,
                                            const EditRecord& record) {
    const calendar::OccurrenceChange* earlier =
        store::ChangeOf(series.recurrence, *record.Occurrence);
    calendar::AppointmentRecord occurrence;
    occurrence.start = record.Start;
    occurrence.end = record.End;
    occurrence.allDay = record.AllDay != 0;
    occurrence.reminderSet = record.Reminder != 0;
    occurrence.subject = record.Subject;
    occurrence.location = record.Location;
    occurrence.body = LimitedText(record.Body, kMaxBodyChars);
    occurrence.handwritten = record.Handwritten != 0;
    const std::u16string& categories = earlier ? earlier->categories : series.categories;
    occurrence.categories = record.Holiday != 0         ? context.settings.HoliDay
                            : record.HolidayAtOpen != 0 ? std::u16string()
                                                        : categories;
    if (record.Holiday != record.HolidayAtOpen) {
        schedule::InvalidateMonthCensus(context.census);
    }
    calendar::OccurrenceChange change = calendar::AsChangeOf(
        series, occurrence, *record.Occurrence, earlier != nullptr && earlier->thisAndFuture);
    if (earlier != nullptr) {
        change.extraProperties = earlier->extraProperties;
    }
    return change;
}

// The whole series as the occurrence was edited: its texts, memo and boxes, and its start moved
// by as much as the occurrence moved (its dates and its time of day), with the occurrence's
// length. The occurrence's own change goes: it is as the series now.
void SetSeriesFromOccurrence(store::Appointment& series, const EditRecord& record) {
    const double moved =
        platform::DateToLinear(record.Start) - platform::DateToLinear(record.StartAtOpen);
    const double length = platform::DateToLinear(record.End) - platform::DateToLinear(record.Start);
    series.DropOccurrenceChange(*record.Occurrence);
    SetDetails(series, record, Times::KeepStored);
    const platform::Date start =
        platform::LinearToDate(platform::DateToLinear(series.Start()) + moved);
    series.SetStart(start);
    series.SetEnd(platform::LinearToDate(platform::DateToLinear(start) + length));
}

}  // namespace

WriteResult CreateAppointment(const StoreWriteContext& context, EditRecord& record,
                              controls::PadData& pad, std::u16string_view text) {
    // A copy: the text may be the record's own body.
    const std::u16string memo(LimitedText(text, kMaxBodyChars));
    const bool needsInkFile = memo.empty() && pad.InkCount > 0;
    InkClaim claim(context);
    std::u16string inkName;
    if (needsInkFile) {
        auto name = claim.Take();
        if (!name) {
            return Failure(claim.FailureStatus(), name.error());
        }
        inkName = std::move(*name);
    }

    auto items = DefaultFolderItems(context, store::FolderKind::Calendar);
    if (!items) {
        return Failure(WriteStatus::StoreFailed, items.error());
    }

    // Only ink this write puts in a file of its own makes a handwritten memo; a body given as
    // it is stays text.
    record.Handwritten = 0;
    if (!memo.empty()) {
        pad.InkCount = 0;
        record.Body = memo;
    } else if (needsInkFile) {
        if (auto written = schedule::WriteInkFile(context.home, context.settings.DataPath, inkName,
                                                  LiveInk(pad));
            !written) {
            return Failure(WriteStatus::InkFileFailed, written.error());
        }
        record.Body = inkName;
        record.Handwritten = 1;
    }

    store::Appointment appointment = items->AddAppointment();
    appointment.SetCalendarId(record.CalendarId);
    SetDetails(appointment, record, Times::Write);
    SetCategories(context, appointment, record, true);
    if (record.RepeatChosen) {
        // A new item takes the zone in force: its last day ends on the local clock.
        appointment.SetRecurrenceRule(
            RuleOfRepeat(*record.RepeatChosen, calendar::ItemZone{}, record.AllDay != 0));
    }
    if (auto saved = appointment.Save(); !saved) {
        return Failure(WriteStatus::StoreFailed, saved.error());
    }
    claim.Keep();
    return WriteResult{WriteStatus::Written, "", appointment.Oid()};
}

WriteResult UpdateAppointment(const StoreWriteContext& context, EditRecord& record,
                              controls::PadData& pad, std::u16string_view padText,
                              SeriesPart part) {
    const std::u16string memo(LimitedText(padText, kMaxBodyChars));
    const MemoLines opened = SplitFirstLine(record.Body);
    const bool hadInkFile = record.Handwritten != 0 && schedule::IsInkFileName(opened.first);
    // A handwritten memo's typed text is what the pad's text mode shows: left as it was (or never
    // looked at), it stays beside the ink; changed, it is a typed memo and wins over the ink.
    const bool textAsOpened =
        hadInkFile && (memo.empty() || WithLineFeeds(memo) == WithLineFeeds(opened.rest));
    const bool keepsInk = pad.InkCount > 0 && (memo.empty() || textAsOpened);
    // A handwritten memo whose ink could not be read at open, saved with nothing drawn and its
    // text as it was: stored as it is, so that its file counts again once it can be read.
    const bool leftAsIs = textAsOpened && record.InkCountAtOpen == 0 && pad.InkCount == 0;
    // An occurrence opened as its series has it shows the series' memo: what it becomes on its
    // own must not write over the series' ink file.
    const bool onlyThis = record.Occurrence.has_value() && part == SeriesPart::ThisOccurrence;
    const bool inkOfTheSeries = onlyThis && record.OccurrenceChanged == 0;

    auto application = context.store.LoggedOnApplication();
    if (!application) {
        return Failure(WriteStatus::StoreFailed, application.error());
    }

    // Decide the body and the file first; refuse before anything is touched.
    InkClaim claim(context);
    std::u16string inkName;
    std::u16string body;
    bool writesInk = keepsInk;
    if (keepsInk && hadInkFile) {
        inkName = opened.first;
        body = record.Body;
        if (auto path = schedule::InkFilePath(context.home, context.settings.DataPath, inkName);
            !path) {
            return Failure(WriteStatus::InkFileFailed, path.error());
        }
        if (inkOfTheSeries || NamedElsewhere(**application, inkName, record.ItemOid)) {
            // The file is another item's handwriting too: changed ink gets a file of its own.
            writesInk = !HoldsInk(context, inkName, LiveInk(pad));
            if (writesInk) {
                auto name = claim.Take();
                if (!name) {
                    return Failure(claim.FailureStatus(), name.error());
                }
                inkName = std::move(*name);
                body = inkName + (opened.rest.empty() ? u"" : opened.lineBreak + opened.rest);
            }
        }
    } else if (keepsInk) {
        auto name = claim.Take();
        if (!name) {
            return Failure(claim.FailureStatus(), name.error());
        }
        inkName = std::move(*name);
        body = inkName;
    } else if (leftAsIs) {
        body = record.Body;
    } else {
        // The ink's file goes; typed text it had, left as it was, outlives it.
        body = textAsOpened ? opened.rest : memo;
    }

    auto appointment = (*application)->GetAppointmentFromOid(record.ItemOid);
    if (!appointment) {
        return Failure(WriteStatus::ItemMissing, appointment.error());
    }

    if (writesInk) {
        if (auto written = schedule::WriteInkFile(context.home, context.settings.DataPath, inkName,
                                                  LiveInk(pad));
            !written) {
            return Failure(WriteStatus::InkFileFailed, written.error());
        }
    }
    if (!keepsInk) {
        pad.InkCount = 0;
    }
    record.Body = LimitedText(body, kMaxBodyChars);
    record.Handwritten = keepsInk || leftAsIs ? 1 : 0;

    const std::vector<std::u16string> inkBefore = InkNamesOf(appointment->Record());
    const bool endsSeries = record.RepeatChosen && record.RepeatChosen->kind == RepeatKind::None &&
                            appointment->Record().recurrence.recurs();
    if (endsSeries) {
        // What is left is the occurrence that was opened, as a single appointment.
        appointment->EndSeries();
        SetDetails(*appointment, record, Times::Write);
        SetCategories(context, *appointment, record, false);
    } else if (onlyThis) {
        appointment->PutOccurrenceChange(ChangeFromRecord(context, appointment->Record(), record));
    } else if (record.Occurrence) {
        SetSeriesFromOccurrence(*appointment, record);
        SetCategories(context, *appointment, record, false);
    } else {
        // A series opened other than through one of its occurrences keeps its own times.
        const bool series = appointment->Record().recurrence.recurs();
        SetDetails(*appointment, record, series ? Times::KeepStored : Times::Write);
        SetCategories(context, *appointment, record, false);
    }
    if (record.RepeatChosen && !endsSeries) {
        const calendar::AppointmentRecord& item = appointment->Record();
        appointment->SetRecurrenceRule(RuleOfRepeat(*record.RepeatChosen, item.zone, item.allDay));
    }
    // Another calendar chosen: the item (a series whole, whichever occurrence was opened) moves
    // there with this save; the sync then sends it to that calendar's collection before it
    // deletes it from the old one.
    if (record.CalendarId != record.CalendarIdAtOpen) {
        appointment->SetCalendarId(record.CalendarId);
    }
    if (auto saved = appointment->Save(); !saved) {
        return Failure(WriteStatus::StoreFailed, saved.error());
    }
    claim.Keep();
    // Ink files the item no longer names; another item may still.
    const calendar::AppointmentRecord& stored = appointment->Record();
    if (hadInkFile && !leftAsIs && (!keepsInk || inkName != opened.first) &&
        !NamesInk(stored, opened.first)) {
        ReleaseInkFile(context, **application, opened.first, record.ItemOid);
    }
    for (const std::u16string& name : inkBefore) {
        if (name != opened.first && !NamesInk(stored, name)) {
            ReleaseInkFile(context, **application, name, record.ItemOid);
        }
    }
    return WriteResult{WriteStatus::Written, "", record.ItemOid};
}

WriteResult DeleteAppointment(const StoreWriteContext& context, const EditRecord& record) {
    if (record.Holiday != 0) {
        schedule::InvalidateMonthCensus(context.census);
    }
    auto application = context.store.LoggedOnApplication();
    if (!application) {
        return Failure(WriteStatus::StoreFailed, application.error());
    }
    auto appointment = (*application)->GetAppointmentFromOid(record.ItemOid);
    if (!appointment) {
        return Failure(WriteStatus::ItemMissing, appointment.error());
    }
    // Only a handwritten memo names a file; a text memo that reads like one leaves it alone. A
    // series takes the ink of its changed occurrences along.
    std::vector<std::u16string> inkNames = InkNamesOf(appointment->Record());
    if (std::optional<std::u16string> opened = InkNameOf(record.Body, record.Handwritten != 0);
        opened && std::find(inkNames.begin(), inkNames.end(), *opened) == inkNames.end()) {
        inkNames.push_back(std::move(*opened));
    }
    if (auto deleted = appointment->Delete(); !deleted) {
        return Failure(WriteStatus::StoreFailed, deleted.error());
    }
    for (const std::u16string& name : inkNames) {
        ReleaseInkFile(context, **application, name, record.ItemOid);
    }
    return WriteResult{WriteStatus::Written, "", record.ItemOid};
}

WriteResult CancelOccurrence(const StoreWriteContext& context, const EditRecord& record) {
    if (!record.Occurrence) {
        return DeleteAppointment(context, record);
    }
    auto application = context.store.LoggedOnApplication();
    if (!application) {
        return Failure(WriteStatus::StoreFailed, application.error());
    }
    auto series = (*application)->GetAppointmentFromOid(record.ItemOid);
    if (!series) {
        return Failure(WriteStatus::ItemMissing, series.error());
    }
    const calendar::OccurrenceChange* change =
        store::ChangeOf(series->Record().recurrence, *record.Occurrence);
    const std::optional<std::u16string> ownInk =
        change ? InkNameOf(change->body, change->handwritten) : std::nullopt;
    if (change != nullptr && change->categories == context.settings.HoliDay) {
        schedule::InvalidateMonthCensus(context.census);
    }
    series->CancelOccurrence(*record.Occurrence);
    if (auto saved = series->Save(); !saved) {
        return Failure(WriteStatus::StoreFailed, saved.error());
    }
    if (ownInk && !NamesInk(series->Record(), *ownInk)) {
        ReleaseInkFile(context, **application, *ownInk, record.ItemOid);
    }
    return WriteResult{WriteStatus::Written, "", record.ItemOid};
}

}  // namespace editors
