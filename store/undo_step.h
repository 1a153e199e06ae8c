#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendar/records.h"

namespace store {

using platform::Date;

// The bytes of one ink file a handwritten memo named, kept with a step so that taking the step
// back brings the drawing back too.
struct KeptInk {
    std::u16string name;
    std::string bytes;

    friend bool operator==(const KeptInk&, const KeptInk&) = default;
};

// An item as it stood at one moment, whole: its record with every changed occurrence, or nothing
// when it was not there; and the ink files its memos named.
struct ItemState {
    std::optional<calendar::AppointmentRecord> appointment;
    std::optional<calendar::TaskRecord> task;
    std::vector<KeptInk> ink;

    bool present() const { return appointment || task; }
};

// One change made on the screen or by tessarinth-cli, kept in the store so that it can be taken
// back (and done again) after a restart. A step holds one state of its item: the one taking it
// back returns to while it is done, the one doing it again returns to once it was taken back;
// and a fingerprint of the state it left the item in, so that a step whose item changed since
// is never applied over that change.
struct UndoStep {
    int64_t id = 0;
    calendar::ItemKind kind = calendar::ItemKind::Appointment;
    std::string uid;
    // What was done (the caller's own numbering) and the item's subject then: for the list.
    int32_t action = 0;
    std::u16string subject;
    Date madeAt = 0;  // local wall-clock time, by the clock the program was given
    bool undone = false;
    // store::Fingerprint of the item as the step's last application left it; kNoItem for none.
    uint64_t leftAs = 0;
    ItemState returnTo;
    // The state to return to could not be read (its row is damaged): returnTo holds nothing,
    // and the step can never apply.
    bool damaged = false;
};

// Taking the newest change back, or doing the oldest one taken back again.
enum class StepDirection { Back, Again };

// How much of a step to read: whole, or only what names it (for a menu) without its state.
enum class StepParts { Whole, Heading };

// What applying a step found.
enum class StepOutcome {
    Applied,
    // The item is no longer as the step left it: nothing was written, and the step, which can
    // never apply again, is forgotten.
    ItemChanged,
    // The step is not the one to apply now (another program took it back or did it again).
    Moved,
    // The state the step keeps cannot be read: nothing was written, and the step is set aside
    // (forgotten), so that the one before it comes next, as after ItemChanged.
    Damaged,
};

// How many steps the store keeps for each data home; the oldest go first.
inline constexpr int kUndoStepsKept = 100;

}  // namespace store
