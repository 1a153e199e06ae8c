#include "schedule/ink_file_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files/device_path.h"
#include "platform/files/file_operations.h"
#include "platform/text/unicode_text.h"
#include "schedule/ink_file.h"
#include "store/schedule_store.h"

namespace schedule {
namespace {

constexpr std::u16string_view kInkFileExtension = u".dat";

// Beside the store: the lists of the ink files claimed by runs that have not ended.
constexpr const char* kClaimFolderName = "ink-claims";
// A list is made under a name the removal passes over, locked, and only then given its own:
// never is a list there that its run does not hold yet.
constexpr std::string_view kNewClaimsPrefix = ".new-";
constexpr std::string_view kClaimsPrefix = "claims-";
// More than any run lists (every number claimed, given up and claimed again, in the longest
// data folder): a longer list is none of ours and is left alone.
constexpr size_t kMaxClaimListBytes = 1024 * 1024;

std::filesystem::path ClaimFolder(const platform::DataHome& home) {
    return home.StorePath().parent_path() / kClaimFolderName;
}

platform::Result<void> WriteAll(int descriptor, std::string_view bytes,
                                const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return platform::SystemError("write", path, errno);
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return {};
}

// A list's data folder (its first line) and the names after it, less those it gave up ("-7.dat":
// another writer took the number first).
struct ClaimList {
    std::u16string dataFolder;
    std::set<std::u16string> names;
};

constexpr char16_t kGivenUpMark = u'-';

ClaimList ParseClaimList(std::string_view text) {
    ClaimList list;
    std::set<std::u16string> givenUp;
    bool first = true;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            break;  // a line the run did not finish writing names nothing
        }
        std::u16string line = platform::Utf8ToUtf16Lossy(text.substr(0, end));
        text.remove_prefix(end + 1);
        if (first) {
            list.dataFolder = std::move(line);
            first = false;
        } else if (!line.empty() && line.front() == kGivenUpMark) {
            givenUp.insert(line.substr(1));
        } else {
            list.names.insert(std::move(line));
        }
    }
    for (const std::u16string& name : givenUp) {
        list.names.erase(name);
    }
    return list;
}

// The temporaries a write of one of the files was killed in ("7.dat.tmp-XXXXXX", as atomic
// replacing names them) go with the files.
void RemoveUnfinishedWrites(const std::filesystem::path& folder,
                            const std::set<std::string>& fileNames) {
    constexpr std::string_view kTemporaryMark = ".tmp-";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().native();
        const size_t mark = name.rfind(kTemporaryMark);
        if (mark != std::string::npos && fileNames.count(name.substr(0, mark)) != 0) {
            std::filesystem::remove(entry.path(), error);
        }
    }
}

// Deletes the listed files that no stored memo names and no living run lists; false when the
// store could not say for one.
bool RemoveUnnamed(const platform::DataHome& home, const store::Application& store,
                   const ClaimList& list, const std::set<std::u16string>& livingClaims) {
    bool settled = true;
    std::optional<std::filesystem::path> folder;
    std::set<std::string> removed;
    for (const std::u16string& name : list.names) {
        const platform::Result<std::filesystem::path> path =
            InkFilePath(home, list.dataFolder, name);
        if (!path || livingClaims.count(name) != 0) {
            continue;  // not a name the planner writes, or a living run's
        }
        const platform::Result<bool> named = store.IsInkFileNamedElsewhere(name, 0);
        if (!named) {
            settled = false;
        } else if (!*named) {
            (void)platform::DeleteFile(*path);  // one already gone is fine
            folder = path->parent_path();
            removed.insert(path->filename().native());
        }
    }
    if (folder) {
        RemoveUnfinishedWrites(*folder, removed);
    }
    return settled;
}

// A list found beside the store, opened and, when its run is over, locked.
struct FoundList {
    std::filesystem::path path;
    int descriptor = -1;
    bool unfinished = false;  // never given its name: no file was claimed under it
    bool runOver = false;
};

// Opens a list and tries its lock: it is free only when the run is over, and the list still
// there only when no other start has settled it meanwhile.
FoundList OpenList(const std::filesystem::path& path, bool unfinished) {
    // Without waiting: something other than a list (a FIFO) under a list's name is no run's.
    FoundList found{path, ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK), unfinished,
                    false};
    struct stat status {};
    found.runOver = found.descriptor >= 0 && ::flock(found.descriptor, LOCK_EX | LOCK_NB) == 0 &&
                    ::fstat(found.descriptor, &status) == 0 && status.st_nlink > 0;
    return found;
}

void SettleList(const platform::DataHome& home, const store::Application& store,
                const FoundList& list, const std::set<std::u16string>& livingClaims) {
    bool settled = true;
    if (!list.unfinished) {
        const platform::Result<std::string> text =
            platform::ReadWholeFile(list.path, kMaxClaimListBytes);
        settled = text && RemoveUnnamed(home, store, ParseClaimList(*text), livingClaims);
    }
    if (settled) {
        ::unlink(list.path.c_str());
    }
}

}  // namespace

std::u16string InkFileName(int32_t number) {
    const std::string digits = std::to_string(number);
    std::u16string name(digits.begin(), digits.end());
    name += kInkFileExtension;
    return name;
}

platform::Result<std::filesystem::path> InkFilePath(const platform::DataHome& home,
                                                    std::u16string_view dataFolder,
                                                    std::u16string_view name) {
    if (!schedule::IsInkFileName(name)) {
        return platform::MakeError("not an ink file name: " + platform::Utf16ToUtf8Lossy(name));
    }
    // Joined as the day loader joins them, so that a file written here is the file it reads.
    const std::u16string devicePath = platform::JoinDevicePath(dataFolder, name);
    if (devicePath.size() > schedule::kMaxInkPathUnits) {
        return platform::MakeError("the data folder is too long for the ink file " +
                                   platform::Utf16ToUtf8Lossy(name));
    }
    auto path = platform::MapDevicePath(home, devicePath);
    if (!path) {
        return platform::MakeError("the data folder cannot hold ink files: " +
                                   platform::Utf16ToUtf8Lossy(dataFolder));
    }
    return *path;
}

platform::Result<bool> ClaimInkName(const platform::DataHome& home, std::u16string_view dataFolder,
                                    std::u16string_view name, InkClaimJournal* journal) {
    auto path = InkFilePath(home, dataFolder, name);
    if (!path) {
        return path.error();
    }
    if (platform::FileExists(*path)) {
        return false;
    }
    // Listed before the file is made, so that no moment leaves a file of this run unlisted.
    if (journal != nullptr) {
        if (auto listed = journal->Record(name); !listed) {
            return listed.error();
        }
    }
    auto created = platform::CreateNewFile(*path);
    if (created && *created) {
        return true;
    }
    if (journal != nullptr) {
        (void)journal->GiveUp(name);
    }
    if (!created) {
        return created.error();
    }
    return false;  // another writer took it between the look and the claim
}

platform::Result<int32_t> ClaimFreeInkNumber(const platform::DataHome& home,
                                             std::u16string_view dataFolder,
                                             const store::Application& store,
                                             InkClaimJournal* journal, InkClaimFailure* why) {
    const auto failed = [why](InkClaimFailure failure, platform::Error error) {
        if (why != nullptr) {
            *why = failure;
        }
        return error;
    };
    // Asked once, and only when a number's file is missing: most claims take the first such.
    std::optional<std::set<std::u16string>> named;
    for (int32_t number = kFirstInkNumber; number <= kLastInkNumber; ++number) {
        const std::u16string name = InkFileName(number);
        auto path = InkFilePath(home, dataFolder, name);
        if (path && platform::FileExists(*path)) {
            continue;
        }
        if (path && !named) {
            auto inUse = store.InkFileNamesInUse();
            if (!inUse) {
                return failed(InkClaimFailure::FolderUnusable, inUse.error());
            }
            named = std::move(*inUse);
        }
        if (named && named->count(name) != 0) {
            continue;
        }
        // Longer numbers make longer paths: when one cannot be had, none further can either.
        auto claimed = ClaimInkName(home, dataFolder, name, journal);
        if (!claimed) {
            return failed(InkClaimFailure::FolderUnusable, claimed.error());
        }
        if (*claimed) {
            return number;
        }
    }
    return failed(
        InkClaimFailure::NumbersTaken,
        platform::MakeError("every ink file number from " + std::to_string(kFirstInkNumber) +
                            " to " + std::to_string(kLastInkNumber) + " is taken"));
}

platform::Result<void> WriteInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                                    std::u16string_view name,
                                    std::span<const schedule::InkEntry> entries) {
    auto path = InkFilePath(home, dataFolder, name);
    if (!path) {
        return path.error();
    }
    const size_t count = std::min(entries.size(), schedule::kMaxInkEntries);
    return platform::ReplaceFileAtomically(*path, schedule::EncodeInkEntries(entries.first(count)));
}

platform::Result<void> CheckInkBytes(std::string_view bytes) {
    if (bytes.empty() || bytes.size() % schedule::kInkEntryBytes != 0 ||
        bytes.size() > schedule::kMaxInkBytes) {
        return platform::MakeError(
            "the handwriting attached is not an ink file (whole 8-byte records, 1 to " +
            std::to_string(schedule::kMaxInkEntries) + " of them)");
    }
    return {};
}

platform::Result<void> WriteInkBytes(const platform::DataHome& home, std::u16string_view dataFolder,
                                     std::u16string_view name, std::string_view bytes) {
    if (auto whole = CheckInkBytes(bytes); !whole) {
        return whole;
    }
    auto entries = std::make_unique<std::array<schedule::InkEntry, schedule::kMaxInkEntries>>();
    const size_t count = schedule::DecodeInkEntries(
        std::as_bytes(std::span(bytes.data(), bytes.size())), std::span(*entries));
    return WriteInkFile(home, dataFolder, name,
                        std::span<const schedule::InkEntry>(entries->data(), count));
}

platform::Result<void> DeleteInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                                     std::u16string_view name) {
    auto path = InkFilePath(home, dataFolder, name);
    if (!path) {
        return path.error();
    }
    return platform::DeleteFile(*path);
}

InkClaimJournal::InkClaimJournal(const platform::DataHome& home, std::u16string_view dataFolder)
    : folder_(ClaimFolder(home)), dataFolder_(dataFolder) {}

InkClaimJournal::~InkClaimJournal() {
    if (descriptor_ < 0) {
        return;
    }
    // Removed while still locked, so that no start takes it for a dead run's.
    ::unlink(path_.c_str());
    ::close(descriptor_);
}

platform::Result<void> InkClaimJournal::Begin() {
    if (auto made = platform::CreateFolders(folder_); !made) {
        return made;
    }
    std::string pattern = (folder_ / (std::string(kNewClaimsPrefix) + "XXXXXX")).native();
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return platform::SystemError("create", pattern, errno);
    }
    const std::filesystem::path made(pattern);
    const std::filesystem::path named =
        folder_ /
        (std::string(kClaimsPrefix) + made.filename().native().substr(kNewClaimsPrefix.size()));
    platform::Result<void> begun;
    if (::flock(descriptor, LOCK_EX) != 0) {
        begun = platform::SystemError("lock", made, errno);
    }
    if (begun) {
        begun = WriteAll(descriptor, platform::Utf16ToUtf8Lossy(dataFolder_) + "\n", made);
    }
    // A start that took the unfinished list for a dead run's has removed it: the rename fails.
    if (begun && ::rename(made.c_str(), named.c_str()) != 0) {
        begun = platform::SystemError("rename", made, errno);
    }
    if (!begun) {
        ::unlink(made.c_str());
        ::close(descriptor);
        return begun;
    }
    descriptor_ = descriptor;
    path_ = named;
    return {};
}

platform::Result<void> InkClaimJournal::Record(std::u16string_view name) {
    if (descriptor_ < 0) {
        if (auto begun = Begin(); !begun) {
            return begun;
        }
    }
    return WriteAll(descriptor_, platform::Utf16ToUtf8Lossy(name) + "\n", path_);
}

platform::Result<void> InkClaimJournal::GiveUp(std::u16string_view name) {
    return Record(std::u16string(1, kGivenUpMark) + std::u16string(name));
}

void RemoveUnstoredInkFiles(const platform::DataHome& home, const store::Application& store) {
    std::vector<FoundList> lists;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ClaimFolder(home), error)) {
        const std::string name = entry.path().filename().native();
        const bool unfinished = name.starts_with(kNewClaimsPrefix);
        if (unfinished || name.starts_with(kClaimsPrefix)) {
            lists.push_back(OpenList(entry.path(), unfinished));
        }
    }
    // A name a living run lists may be the file it is claiming now, which a dead run listed
    // too but never got: it stays.
    std::set<std::u16string> livingClaims;
    for (const FoundList& list : lists) {
        if (list.descriptor >= 0 && !list.runOver && !list.unfinished) {
            if (auto text = platform::ReadWholeFile(list.path, kMaxClaimListBytes)) {
                livingClaims.merge(ParseClaimList(*text).names);
            }
        }
    }
    for (const FoundList& list : lists) {
        if (list.runOver) {
            SettleList(home, store, list, livingClaims);
        }
        if (list.descriptor >= 0) {
            ::close(list.descriptor);
        }
    }
}

}  // namespace schedule
