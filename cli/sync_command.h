#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"

namespace cli {

// `sync [--allow-mass-delete]`: two-way sync of the store with the collections set up, and
// `sync setup --events URL [--tasks URL] --user NAME [--password-stdin] [--timeout SECONDS]`.
// Prints for each collection what was received, sent and deleted, and a line for each conflict
// naming the file that keeps the losing version; then what each subscribed feed's refresh did
// (with feeds alone when no server is set up). Status 0 when the sync finished, 1 when it
// stopped or a feed could not be refreshed (everything done until then is kept, a feed keeps its
// last copy, and running it again finishes the job), 2 for wrong arguments.
int SyncCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace cli
