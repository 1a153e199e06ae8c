#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_io.h"
#include "calendar/records.h"
#include "platform/files/data_home.h"
#include "platform/result.h"
#include "platform/time/date_time.h"
#include "schedule/ink_file_writer.h"

// Handwritten memos in calendar files. A memo the store marks handwritten travels with the
// records of the ink file it names (an ATTACH of calendar::kInkMediaType), and an incoming
// appointment that carries them gets an ink file of its own, numbered as the editors number them,
// and the handwritten mark. So an export is a whole backup, and another planner shows the same
// drawing.
namespace schedule {

// The records of the ink file a handwritten memo names in the data folder, as the day loader
// reads them (at most 2000 whole records): for calendar::WriteICalendar, which asks only for memos
// marked handwritten. nullopt for a missing file or one without a whole record. `home` must
// outlive the source.
calendar::InkSource InkOfDataFolder(const platform::DataHome& home, std::u16string dataFolder);

// The items as one calendar, each handwritten memo carrying its ink.
std::string CalendarTextWithInk(const platform::DataHome& home, std::u16string_view dataFolder,
                                const std::vector<calendar::AppointmentRecord>& appointments,
                                const std::vector<calendar::TaskRecord>& tasks,
                                const platform::Clock& clock);

// How many items an export wrote.
struct ExportedCounts {
    size_t appointments = 0;
    size_t tasks = 0;
};

// Takes the next piece of an export's text; an error ends the export.
using CalendarPieceWriter = std::function<platform::Result<void>(std::string_view piece)>;

// The whole store as CalendarTextWithInk writes it (every item, cancelled ones and those of hidden
// calendars too), handed to `write` a piece at a time, in memory that does not grow with the
// store: the store is read a page at a time inside one snapshot, and the items' text goes first
// to a scratch file in `scratchFolder`, so that the VTIMEZONEs they need, known once the last is
// written, come before them as other programs expect.
platform::Result<ExportedCounts> WriteStoreCalendar(const platform::DataHome& home,
                                                    std::u16string_view dataFolder,
                                                    store::Application& store,
                                                    const platform::Clock& clock,
                                                    const std::filesystem::path& scratchFolder,
                                                    const CalendarPieceWriter& write);

// A memo without a first line that names an ink file (as earlier versions wrote a handwritten
// memo's DESCRIPTION): what an incoming memo keeps as text when the handwriting it came with
// cannot be stored.
std::u16string WithoutInkName(std::u16string_view body);

// The ink files written for incoming appointments while they are stored. Until Keep, each file
// claimed here is deleted again when this goes, so that a store write that fails leaves no file
// behind; and each is listed in an schedule::InkClaimJournal before it is claimed, so that
// one left by a run killed before the store named it is removed at the next start. The numbers
// are claimed as the editors claim them (ClaimFreeInkNumber, atomically), so the running planner
// never takes the same one. `home` must outlive this.
class IncomingInkFiles {
public:
    // `store` (the store the files are for, whose memos' numbers are not free) must outlive
    // this too.
    IncomingInkFiles(const platform::DataHome& home, std::u16string dataFolder,
                     const store::Application& store);
    ~IncomingInkFiles();
    IncomingInkFiles(const IncomingInkFiles&) = delete;
    IncomingInkFiles& operator=(const IncomingInkFiles&) = delete;

    // The handwritten memo to store for an incoming appointment that carried `inkBytes`: the
    // name of its ink file on the first line, then the typed text of `incomingBody` (its
    // DESCRIPTION less a sender's ink file name on the first line, and nothing for
    // calendar::kHandwrittenMemoText). When `storedInkName` (the ink file the stored item the
    // incoming one updates names, calendar::InkNameOf; empty for none) already holds exactly these
    // records, that name is kept and nothing is written, so importing the same file twice changes
    // nothing. Otherwise a new number is claimed and the records written there; the stored
    // memo's old file then goes at Settle. An error (nothing claimed) when the bytes are
    // not whole 8-byte records, 1 to 2000 of them, when every number is taken or when the file
    // cannot be written.
    platform::Result<std::u16string> Store(std::u16string_view incomingBody,
                                           std::u16string_view storedInkName,
                                           std::string_view inkBytes);

    // The store now names the files: they stay.
    void Keep() { kept_ = true; }
    // After the store write: when it succeeded (`stored`), the files stay and the stored memos'
    // files the incoming handwriting replaced go, unless another item still names them; when it
    // failed, the files written for it go as this does.
    void Settle(bool stored, const store::Application& store);

private:
    const platform::DataHome& home_;
    std::u16string dataFolder_;
    const store::Application& store_;
    // Goes after the destructor has deleted the files of a write that failed.
    schedule::InkClaimJournal journal_;
    std::vector<std::u16string> claimed_;
    std::vector<std::u16string> replaced_;
    bool kept_ = false;
};

// Gives an incoming appointment's handwriting (its own memo's and its changed occurrences')
// ink files of its own through `files`: each memo that carried ink becomes a handwritten memo
// naming its file, with the mark set. `stored` is the item it updates, if any. Handwriting that
// cannot be stored is told to `skipped` and its memo kept as text, unmarked.
void GiveCarriedInk(
    IncomingInkFiles& files, calendar::AppointmentRecord& record,
    const calendar::AppointmentInk& ink, const calendar::AppointmentRecord* stored,
    const std::function<void(const calendar::CarriedInk&, const platform::Error&)>& skipped);

}  // namespace schedule
