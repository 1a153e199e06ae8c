#include "editors/undo_steps.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "calendar/handwritten_memo.h"
#include "platform/text/unicode_text.h"
#include "schedule/ink_file.h"
#include "schedule/ink_file_writer.h"
#include "schedule/item_calendars.h"
#include "schedule/month_census.h"
#include "store/item_snapshot.h"

namespace editors {
namespace {

// Each memo of a state that may be handwriting: the item's own, and its changed occurrences'.
template <typename Visit>
void ForEachMemo(store::ItemState& state, Visit visit) {
    if (!state.appointment) {
        return;
    }
    visit(state.appointment->body, state.appointment->handwritten);
    for (calendar::OccurrenceChange& change : state.appointment->recurrence.changes) {
        visit(change.body, change.handwritten);
    }
}

std::vector<std::u16string> InkNamesOf(store::ItemState state) {
    std::vector<std::u16string> names;
    ForEachMemo(state, [&](const std::u16string& body, bool handwritten) {
        const std::u16string_view name = calendar::InkNameOf(body, handwritten);
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.emplace_back(name);
        }
    });
    return names;
}

// The bytes of the ink files a state's memos name, as they are now.
std::vector<store::KeptInk> InkOf(const StoreWriteContext& context, const store::ItemState& state) {
    std::vector<store::KeptInk> ink;
    for (std::u16string& name : InkNamesOf(state)) {
        if (auto bytes = schedule::ReadInkBytes(context.home, context.settings.DataPath, name)) {
            ink.push_back(store::KeptInk{std::move(name), std::move(*bytes)});
        }
    }
    return ink;
}

// Whether a write left the item as it was, but for the stamps of the save.
bool OnlyStamped(const store::ItemState& before, const store::ItemState& after) {
    return before.present() && after.present() &&
           store::Fingerprint(before) == store::Fingerprint(after) && before.ink == after.ink;
}

std::optional<int64_t> CalendarOf(const store::ItemState& state) {
    if (state.appointment) {
        return state.appointment->calendarId;
    }
    if (state.task) {
        return state.task->calendarId;
    }
    return std::nullopt;
}

// The read-only calendar a step would write to: the one its item is in now, or the one it would
// return to. Null when both may be written (or the calendars cannot be read: the store refuses
// then).
std::optional<std::u16string> ReadOnlyCalendarOfStep(const store::Application& store,
                                                     const store::ItemState& now,
                                                     const store::ItemState& returnTo) {
    auto stored = store.Calendars();
    if (!stored) {
        return std::nullopt;
    }
    schedule::ItemCalendars calendars;
    for (const store::StoreCalendar& calendar : *stored) {
        calendars.calendars.push_back(schedule::ToItemCalendar(calendar));
    }
    for (const std::optional<int64_t> id : {CalendarOf(now), CalendarOf(returnTo)}) {
        if (id && calendars.IsReadOnly(*id)) {
            return calendars.Find(*id)->name;
        }
    }
    return std::nullopt;
}

std::u16string SubjectOf(const store::ItemState& state) {
    if (state.appointment) {
        return state.appointment->subject;
    }
    return state.task ? state.task->subject : std::u16string();
}

platform::Result<std::string> UidOfOid(const store::Application& store, calendar::ItemKind kind,
                                       int32_t oid) {
    if (kind == calendar::ItemKind::Task) {
        auto task = store.GetTaskFromOid(oid);
        if (!task) {
            return task.error();
        }
        return task->Uid();
    }
    auto appointment = store.GetAppointmentFromOid(oid);
    if (!appointment) {
        return appointment.error();
    }
    return appointment->Uid();
}

// The ink files a state that returns needs: a file that still holds the kept bytes under its
// name is used as it is; otherwise the bytes go to that name when it is free, else to a newly
// claimed number (never over a file something else may name), and the memos name that. The files
// written here are deleted again unless the store came to name them (Keep).
class ReturningInk {
public:
    explicit ReturningInk(const StoreWriteContext& context)
        : context_(context), journal_(context.home, context.settings.DataPath) {}
    ~ReturningInk() {
        if (kept_) {
            return;
        }
        for (const std::u16string& name : written_) {
            (void)schedule::DeleteInkFile(context_.home, context_.settings.DataPath, name);
        }
    }
    ReturningInk(const ReturningInk&) = delete;
    ReturningInk& operator=(const ReturningInk&) = delete;

    platform::Result<void> Place(store::ItemState& state) {
        platform::Result<void> placed;
        ForEachMemo(state, [&](std::u16string& body, bool handwritten) {
            if (!placed) {
                return;
            }
            const std::u16string name(calendar::InkNameOf(body, handwritten));
            if (name.empty()) {
                return;
            }
            auto placedName = PlacedName(name, state.ink);
            if (!placedName) {
                placed = placedName.error();
                return;
            }
            body = *placedName + body.substr(name.size());
        });
        return placed;
    }

    void Keep() { kept_ = true; }

private:
    platform::Result<std::u16string> PlacedName(const std::u16string& name,
                                                const std::vector<store::KeptInk>& ink) {
        if (auto known = placed_.find(name); known != placed_.end()) {
            return known->second;
        }
        const auto kept = std::find_if(
            ink.begin(), ink.end(), [&](const store::KeptInk& file) { return file.name == name; });
        const std::u16string_view folder = context_.settings.DataPath;
        if (kept == ink.end() ||
            schedule::ReadInkBytes(context_.home, folder, name) == kept->bytes) {
            // Nothing kept (its file was gone already), or the drawing is still there.
            placed_.emplace(name, name);
            return name;
        }
        // The drawing's own name when it is free, so that it comes back as it went.
        std::u16string claimed = name;
        auto own = schedule::ClaimInkName(context_.home, folder, name, &journal_);
        if (!own) {
            return own.error();
        }
        if (!*own) {
            auto store = context_.store.LoggedOnApplication();
            if (!store) {
                return store.error();
            }
            auto number = schedule::ClaimFreeInkNumber(context_.home, folder, **store, &journal_);
            if (!number) {
                return number.error();
            }
            claimed = schedule::InkFileName(*number);
        }
        written_.push_back(claimed);
        if (auto written = schedule::WriteInkBytes(context_.home, folder, claimed, kept->bytes);
            !written) {
            return written.error();
        }
        placed_.emplace(name, claimed);
        return claimed;
    }

    const StoreWriteContext& context_;
    schedule::InkClaimJournal journal_;
    std::map<std::u16string, std::u16string> placed_;
    std::vector<std::u16string> written_;
    bool kept_ = false;
};

// What a step did, as the menu says it.
std::u16string_view ChangeNoun(int32_t kind) {
    switch (static_cast<ChangeKind>(kind)) {
        case ChangeKind::Created:
            return u"作成";
        case ChangeKind::Saved:
            return u"変更";
        case ChangeKind::Deleted:
            return u"削除";
        case ChangeKind::Cut:
            return u"切り取り";
        case ChangeKind::Pasted:
            return u"貼り付け";
        case ChangeKind::Checked:
            return u"完了";
    }
    return u"変更";
}

// A subject short enough for the drop-down to stay inside the screen: its first characters and
// an ellipsis, never half a surrogate pair.
std::u16string MenuSubject(std::u16string_view subject) {
    constexpr size_t kMenuSubjectUnits = 6;
    if (subject.size() <= kMenuSubjectUnits) {
        return std::u16string(subject);
    }
    size_t length = kMenuSubjectUnits - 1;
    if (platform::IsHighSurrogate(subject[length - 1])) {
        --length;
    }
    return std::u16string(subject.substr(0, length)) + u"…";
}

}  // namespace

std::string_view ChangeKindName(int32_t kind) {
    switch (static_cast<ChangeKind>(kind)) {
        case ChangeKind::Created:
            return "create";
        case ChangeKind::Saved:
            return "save";
        case ChangeKind::Deleted:
            return "delete";
        case ChangeKind::Cut:
            return "cut";
        case ChangeKind::Pasted:
            return "paste";
        case ChangeKind::Checked:
            return "check";
    }
    return "change";
}

std::string StepHome(const platform::DataHome& home) {
    std::error_code error;
    const std::filesystem::path root = std::filesystem::weakly_canonical(home.StorePath(), error);
    return (error ? home.StorePath() : root).string();
}

WriteResult RecordedWrite(const StoreWriteContext& context, ChangeKind change,
                          calendar::ItemKind kind, int32_t oidBefore,
                          const std::function<WriteResult()>& write) {
    std::string uid;
    store::ItemState before;
    if (oidBefore != 0) {
        if (auto store = context.store.LoggedOnApplication()) {
            if (auto found = UidOfOid(**store, kind, oidBefore)) {
                uid = std::move(*found);
                if (auto state = (*store)->CurrentState(kind, uid)) {
                    before = std::move(*state);
                    before.ink = InkOf(context, before);
                }
            }
        }
    }
    const WriteResult result = write();
    if (!result.ok()) {
        return result;
    }
    auto store = context.store.LoggedOnApplication();
    if (!store) {
        return result;
    }
    if (uid.empty()) {
        if (oidBefore != 0 || result.itemOid == 0) {
            return result;  // the item could not be found before the write: nothing to go back to
        }
        auto found = UidOfOid(**store, kind, result.itemOid);
        if (!found) {
            return result;
        }
        uid = std::move(*found);
    }
    auto after = (*store)->CurrentState(kind, uid);
    if (!after) {
        return result;
    }
    after->ink = InkOf(context, *after);
    if (OnlyStamped(before, *after)) {
        return result;
    }
    store::UndoStep step;
    step.kind = kind;
    step.uid = uid;
    step.action = static_cast<int32_t>(change);
    step.subject = after->present() ? SubjectOf(*after) : SubjectOf(before);
    step.madeAt = platform::FieldsToDate(context.clock.LocalTimeNow()).value_or(0);
    step.leftAs = store::Fingerprint(*after);
    step.returnTo = std::move(before);
    (void)(*store)->RecordStep(step, StepHome(context.home));
    return result;
}

StepResult ApplyNextStep(const StoreWriteContext& context, store::StepDirection direction) {
    StepResult result;
    const auto failed = [&](const platform::Error& error) {
        result.status = StepResult::Status::Failed;
        result.detail = error.message;
        return result;
    };
    auto store = context.store.LoggedOnApplication();
    if (!store) {
        return failed(store.error());
    }
    const std::string home = StepHome(context.home);
    auto next = (*store)->NextStep(home, direction);
    if (!next) {
        return failed(next.error());
    }
    if (!*next) {
        result.status = StepResult::Status::NothingToApply;
        return result;
    }
    store::UndoStep step = std::move(**next);
    result.subject = step.subject;
    result.change = static_cast<ChangeKind>(step.action);

    auto now = (*store)->CurrentState(step.kind, step.uid);
    if (!now) {
        return failed(now.error());
    }
    // Nothing of a read-only calendar is deleted, put back or changed, the files of its ink
    // included.
    if (auto readOnly = ReadOnlyCalendarOfStep(**store, *now, step.returnTo)) {
        result.status = StepResult::Status::ReadOnly;
        result.calendar = std::move(*readOnly);
        return result;
    }
    const std::vector<store::KeptInk> inkNow = InkOf(context, *now);
    ReturningInk returning(context);
    if (auto placed = returning.Place(step.returnTo); !placed) {
        return failed(placed.error());
    }
    store::ItemState replaced;
    auto outcome = (*store)->ApplyStep(step, direction, home, inkNow, replaced);
    if (!outcome) {
        return failed(outcome.error());
    }
    if (*outcome == store::StepOutcome::ItemChanged) {
        // Named as the user knows it now: the change since may have been its subject.
        if (now->present()) {
            result.subject = SubjectOf(*now);
        }
        result.status = StepResult::Status::ItemChanged;
        return result;
    }
    if (*outcome == store::StepOutcome::Damaged) {
        result.status = StepResult::Status::Damaged;
        return result;
    }
    if (*outcome == store::StepOutcome::Moved) {
        // Another program applied it first; what is next now is for the user to ask again.
        result.status = StepResult::Status::NothingToApply;
        return result;
    }
    returning.Keep();
    const std::vector<std::u16string> stillNamed = InkNamesOf(step.returnTo);
    for (const std::u16string& name : InkNamesOf(replaced)) {
        if (std::find(stillNamed.begin(), stillNamed.end(), name) != stillNamed.end()) {
            continue;
        }
        auto elsewhere = (*store)->IsInkFileNamedElsewhere(name, 0);
        if (elsewhere && !*elsewhere) {
            (void)schedule::DeleteInkFile(context.home, context.settings.DataPath, name);
        }
    }
    // The item may have had the holiday category, or have it now.
    schedule::InvalidateMonthCensus(context.census);
    result.status = StepResult::Status::Applied;
    return result;
}

NextStepMenuItem NextStepMenu(const StoreWriteContext& context, store::StepDirection direction) {
    NextStepMenuItem item;
    item.text = direction == store::StepDirection::Back ? kUndoCaption : kRedoCaption;
    auto store = context.store.LoggedOnApplication();
    if (!store) {
        return item;
    }
    auto next = (*store)->NextStep(StepHome(context.home), direction, store::StepParts::Heading);
    if (!next || !*next) {
        return item;
    }
    item.enabled = true;
    const std::u16string change(ChangeNoun((*next)->action));
    item.text += (*next)->subject.empty()
                     ? u"（" + change + u"）"
                     : u"「" + MenuSubject((*next)->subject) + u"」の" + change;
    return item;
}

std::u16string ItemChangedMessage(std::u16string_view subject) {
    return u"「" + std::u16string(subject) + u"」はその後変更されたため、元に戻せません";
}

std::u16string DamagedStepMessage(std::u16string_view subject) {
    return u"「" + std::u16string(subject) + u"」の変更の記録が壊れていたため、元に戻せません";
}

std::u16string ReadOnlyCalendarMessage(std::u16string_view calendarName) {
    return u"カレンダー「" + std::u16string(calendarName) +
           u"」は読み取り専用のため、その項目は変更できません";
}

}  // namespace editors
