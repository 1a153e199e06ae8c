#include "sync/conflict_archive.h"

#include <QDateTime>

#include "platform/files/file_operations.h"

namespace calendar_sync {
namespace {

// Enough to make a name free even when one sync keeps many versions of one item.
constexpr int kMostNamesTried = 1000;
// File names stay well under the file system's limit whatever the UID.
constexpr size_t kLongestUidPart = 100;

std::string SafeName(const std::string& uid) {
    std::string name;
    for (const char c : uid.substr(0, kLongestUidPart)) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '@';
        name += safe ? c : '_';
    }
    return name;
}

}  // namespace

platform::Result<std::filesystem::path> ConflictArchive::Keep(const std::string& uid,
                                                              const std::string& side,
                                                              const std::string& icsText,
                                                              int64_t now) {
    const std::string stamp =
        QDateTime::fromSecsSinceEpoch(now, Qt::UTC).toString("yyyyMMdd-HHmmss").toStdString();
    const std::string base = stamp + "-" + SafeName(uid) + "-" + side;
    for (int number = 1; number <= kMostNamesTried; ++number) {
        const std::filesystem::path path =
            folder_ / (base + (number == 1 ? "" : "-" + std::to_string(number)) + ".ics");
        // Taking the name first means a second sync at the same moment cannot write over it.
        auto created = platform::CreateNewFile(path);
        if (!created) {
            return created.error();
        }
        if (!*created) {
            continue;
        }
        if (auto written = platform::ReplaceFileAtomically(path, icsText); !written) {
            (void)platform::DeleteFile(path);
            return written.error();
        }
        return path;
    }
    return platform::Error{"cannot find a free name for a conflict file in " + folder_.string()};
}

}  // namespace calendar_sync
