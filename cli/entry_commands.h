#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"
#include "store/undo_step.h"

namespace cli {

// `add appointment --start YYYY-MM-DDTHH:MM --end YYYY-MM-DDTHH:MM --subject S [--location L]
// [--all-day] [--reminder] [--holiday] [--memo TEXT] [--ink FILE]` and
// `add task --subject S [--due YYYY-MM-DD] [--notes TEXT] [--complete]`: a new item through the
// editors' own store writes, then its texts into the history lists as the editor's OK puts
// them. Prints the new object id.
int AddCommand(const platform::DataHome& home, const std::vector<std::string>& args,
               const platform::Clock& clock, std::ostream& out, std::ostream& err);

// `move OID --calendar NAME`: the appointment or task of that object id into another calendar
// of the store (neither a read-only one's item nor into a read-only one), as a change undo
// takes back.
int MoveCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                const platform::Clock& clock, std::ostream& out, std::ostream& err);

// `delete OID`: the appointment (with its ink file) or the task of that object id.
int DeleteCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  const platform::Clock& clock, std::ostream& out, std::ostream& err);

// `undo [--list]` and `redo`: the newest change made on the screen or by add and delete taken
// back, or the oldest one taken back done again (editors::ApplyNextStep); --list prints the
// changes kept, newest first: done or undone, when, what, the kind of item, its subject and UID,
// tab-separated.
int UndoCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                const platform::Clock& clock, store::StepDirection direction, std::ostream& out,
                std::ostream& err);

// `history subject|location|task`: the list, most recent first, one text a line.
int HistoryCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                   std::ostream& out, std::ostream& err);

}  // namespace cli
