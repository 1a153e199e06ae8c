#pragma once

#include <string>
#include <vector>

namespace calendar_sync {

// What one sync of a collection did, for the user.
struct SyncOutcome {
    int received = 0;         // items stored here from the server (added or changed)
    int sent = 0;             // items put on the server
    int deletedHere = 0;      // items deleted here because the server no longer holds them
    int deletedOnServer = 0;  // deletions made here, carried to the server
    // One line per conflict, naming the file that keeps the version that lost.
    std::vector<std::string> conflicts;
    // Things the user may want to know: items the server holds that cannot be read, items kept
    // here although the server deleted them.
    std::vector<std::string> notes;
};

}  // namespace calendar_sync
