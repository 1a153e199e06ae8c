#pragma once

#include <string_view>

#include "controls/pad_data.h"
#include "editors/edit_record.h"
#include "editors/store_write_context.h"
#include "editors/write_result.h"

namespace editors {

// The appointment writes keep the memo rule: a body holds a text memo, or the name of an ink file
// on its first line with the store's handwritten mark (EditRecord::Handwritten) set; typed text
// after that name comes from elsewhere (another calendar program) and is kept beside the ink. A
// typed memo wins over ink (the pad's InkCount becomes 0), and clears the mark. Ink
// files are written before the store names them and deleted only after the store has let go of
// them, so the store never names a file that is not there. A new ink file's number is claimed by
// creating the file (schedule::ClaimFreeInkNumber), so a second writer (tessarinth-cli beside the
// planner) never gets the same one; a claim the store does not come to name is given up again. An
// ink file is deleted only when no other stored item (or changed occurrence) names it too, as an
// imported calendar can make two memos name one file; changed ink of such a shared file goes to
// a file of its own.
//
// `padText` is the pad's text box text; at most kMaxBodyChars of it are kept. Every write
// refuses, before touching the store or any file, when new ink needs a file and none can be had:
// with NoRoomForInk when every number is taken, InkFileFailed when the data folder takes no file
// (see write_result.h).
//
// Setting the holiday box stores the settings' HoliDay as the appointment's only category and
// marks the month census stale; so does clearing a box that was set at open (categories become
// empty). An appointment whose box stayed clear keeps its categories on update.

// Adds a new appointment from the record. A non-empty `text` becomes the memo; otherwise ink in
// the pad is written to a new ink file (the lowest free number) named in Body, and the memo is
// marked handwritten; with neither, Body is stored as it is, as text. Used by the appointment
// editor (the pad's text) and by the clipboard's paste (the copied body, or an empty text when
// the pad holds the copied ink).
WriteResult CreateAppointment(const StoreWriteContext& context, EditRecord& record,
                              controls::PadData& pad, std::u16string_view text);

// Rewrites the appointment ItemOid from the record and the pad, as the appointment editor saves
// it. For a handwritten memo the pad's text mode shows its typed text: `padText` empty or that
// text leaves it as it was. With ink kept, the same ink file is rewritten and Body (the file's
// name and its typed text) is stored unchanged; with ink added, a new file is named in Body.
// When ink goes (erased, or replaced by other text), Body becomes the pad text, or the typed
// text the ink had when the pad text left it alone, and the old file is deleted once the store
// is saved. A handwritten memo whose ink could not be read at open and that is saved without
// ink or other text is stored as it was. A text memo's Body becomes the pad text.
//
// An occurrence of a series (EditRecord::Occurrence) is saved to `part` of its series: only this
// occurrence (a change of the series for it, with its own times and texts; ink it shares with the
// series is never written over, changed ink gets a file of its own), or the whole series (its
// texts, memo and boxes, its times of day and its dates moved by as much as the occurrence was
// moved; the occurrence's own change, if it had one, goes).
enum class SeriesPart { ThisOccurrence, WholeSeries };
WriteResult UpdateAppointment(const StoreWriteContext& context, EditRecord& record,
                              controls::PadData& pad, std::u16string_view padText,
                              SeriesPart part = SeriesPart::WholeSeries);

// Deletes the appointment ItemOid and, for a handwritten memo, the ink file named on Body's first
// line; a series goes with its changed occurrences and their ink. A failed lookup deletes
// nothing. Used by the editor's delete and the clipboard's cut.
WriteResult DeleteAppointment(const StoreWriteContext& context, const EditRecord& record);

// Cancels only the occurrence EditRecord::Occurrence of the series ItemOid (an exception date of
// the series); the ink of its own change goes unless something else names it.
WriteResult CancelOccurrence(const StoreWriteContext& context, const EditRecord& record);

}  // namespace editors
