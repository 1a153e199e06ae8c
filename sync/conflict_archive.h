#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/result.h"

namespace calendar_sync {

// The folder where a conflict's losing version is kept whole, one .ics file each, so that a
// sync never throws a version of an item away.
class ConflictArchive {
public:
    explicit ConflictArchive(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // Writes the text as "<YYYYMMDD-HHMMSS>-<uid>-<side>.ics" (the UID's unsafe characters as
    // "_", a number added when the name is taken) and returns its path. `side` says whose
    // version it is: "server" or "here".
    platform::Result<std::filesystem::path> Keep(const std::string& uid, const std::string& side,
                                                 const std::string& icsText, int64_t now);

    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

}  // namespace calendar_sync
