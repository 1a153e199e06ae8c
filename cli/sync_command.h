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
// naming the file that keeps the losing version. Status 0 when the sync finished, 1 when it
// stopped (everything done until then is kept, and running it again finishes the job), 2 for
// wrong arguments.
int SyncCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace cli
