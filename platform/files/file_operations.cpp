#include "platform/files/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/files/readable_file.h"

namespace platform {
namespace {

// How many kept copies of one file may pile up before moving another aside gives up.
constexpr int kMaxAsideCopies = 1000;
constexpr size_t kReadChunkBytes = 64 * 1024;

// Makes a finished rename survive a crash. Best effort: the new content is already in place,
// and some file systems refuse to sync a folder.
void SyncFolder(const std::filesystem::path& folder) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
}

// 0, or the errno of the write that failed.
int WriteAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : ENOSPC;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

}  // namespace

Error SystemError(std::string_view action, const std::filesystem::path& path, int errorNumber) {
    std::string message(action);
    if (!path.empty()) {
        message += ' ';
        message += path.native();
    }
    message += ": ";
    message += std::generic_category().message(errorNumber);
    return MakeError(std::move(message));
}

Result<std::string> ReadWholeFile(const std::filesystem::path& path, size_t maxBytes,
                                  FileKinds kinds) {
    Result<ReadableFile> file = ReadableFile::Open(path, kinds);
    if (!file) {
        return file.error();
    }
    return ReadToEnd(*file, maxBytes);
}

Result<std::string> ReadToEnd(ReadableFile& file, size_t maxBytes, std::string content) {
    const auto tooLarge = [&file, maxBytes] {
        return MakeError("cannot read " + file.Path().native() + ": larger than " +
                         std::to_string(maxBytes) + " bytes");
    };
    if (content.size() > maxBytes) {
        return tooLarge();
    }
    // A regular file's size lets one read take the rest whole; one byte more shows its end.
    if (const std::optional<uint64_t> expected = file.Size(); expected) {
        if (*expected > maxBytes) {
            return tooLarge();
        }
        const size_t before = content.size();
        if (*expected >= before) {
            content.resize(static_cast<size_t>(*expected) + 1);
            content.resize(before + file.Read(content.data() + before, content.size() - before));
            if (content.size() <= *expected) {
                if (Result<void> status = file.Status(); !status) {
                    return status.error();
                }
                return content;
            }
        }
    }
    // A pipe, or a file that grew: read on in chunks, joined only once the end came within the
    // limit, so that no buffer ever doubles past it.
    std::vector<std::string> chunks;
    size_t total = content.size();
    while (total <= maxBytes) {
        std::string& chunk = chunks.emplace_back();
        chunk.resize(maxBytes - total < kReadChunkBytes ? maxBytes - total + 1 : kReadChunkBytes);
        const size_t wanted = chunk.size();
        chunk.resize(file.Read(chunk.data(), wanted));
        total += chunk.size();
        if (chunk.size() < wanted) {
            break;
        }
    }
    if (Result<void> status = file.Status(); !status) {
        return status.error();
    }
    if (total > maxBytes) {
        return tooLarge();
    }
    content.reserve(total);
    for (const std::string& chunk : chunks) {
        content += chunk;
    }
    return content;
}

namespace {

// The folder a file is written in, made when missing (Create) or required to be there (Refuse).
Result<std::filesystem::path> FolderToWriteIn(const std::filesystem::path& path,
                                              MissingFolders folders) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (folders == MissingFolders::Create) {
        if (Result<void> made = CreateFolders(folder); !made) {
            return made.error();
        }
        return folder;
    }
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        return SystemError("cannot write", path, errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return SystemError("cannot write", path, ENOTDIR);
    }
    return folder;
}

}  // namespace

Result<FileReplacement> FileReplacement::Begin(const std::filesystem::path& path,
                                               MissingFolders folders) {
    Result<std::filesystem::path> folder = FolderToWriteIn(path, folders);
    if (!folder) {
        return folder.error();
    }
    std::string temporary = path.native() + ".tmp-XXXXXX";
    const int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return SystemError("cannot create", temporary, errno);
    }
    return FileReplacement(descriptor, path, std::move(temporary));
}

FileReplacement::FileReplacement(int descriptor, std::filesystem::path target,
                                 std::string temporary)
    : descriptor_(descriptor), target_(std::move(target)), temporary_(std::move(temporary)) {}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, std::string())),
      errorNumber_(other.errorNumber_) {}

FileReplacement::~FileReplacement() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
    }
}

Result<void> FileReplacement::Write(std::string_view bytes) {
    if (descriptor_ < 0) {
        return MakeError("cannot write " + temporary_ + ": it is closed");
    }
    if (errorNumber_ == 0) {
        errorNumber_ = WriteAll(descriptor_, bytes);
    }
    if (errorNumber_ != 0) {
        return SystemError("cannot write", temporary_, errorNumber_);
    }
    return {};
}

Result<void> FileReplacement::Commit() {
    if (descriptor_ < 0 || errorNumber_ != 0) {
        return SystemError("cannot write", temporary_, errorNumber_ != 0 ? errorNumber_ : EBADF);
    }
    if (fsync(descriptor_) != 0) {
        return SystemError("cannot sync", temporary_, errno);
    }
    const int closed = close(descriptor_);
    descriptor_ = -1;
    if (closed != 0) {
        return SystemError("cannot close", temporary_, errno);
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        return MakeError("cannot rename " + temporary_ + " to " + target_.native() + ": " +
                         std::generic_category().message(errno));
    }
    temporary_.clear();  // it is the target now
    SyncFolder(target_.has_parent_path() ? target_.parent_path() : ".");
    return {};
}

Result<void> ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                   MissingFolders folders) {
    Result<FileReplacement> replacement = FileReplacement::Begin(path, folders);
    if (!replacement) {
        return replacement.error();
    }
    if (Result<void> written = replacement->Write(bytes); !written) {
        return written;
    }
    return replacement->Commit();
}

Result<ScratchFile> ScratchFile::Create(const std::filesystem::path& folder) {
    int descriptor = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        // A file system without unnamed files: a named one, unlinked at once.
        std::string name = (folder / ".scratch-XXXXXX").native();
        descriptor = mkostemp(name.data(), O_CLOEXEC);
        if (descriptor < 0) {
            return SystemError("cannot create", name, errno);
        }
        unlink(name.c_str());
    }
    return ScratchFile(descriptor, folder);
}

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      folder_(std::move(other.folder_)),
      errorNumber_(other.errorNumber_) {}

ScratchFile::~ScratchFile() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

Result<void> ScratchFile::Write(std::string_view bytes) {
    if (errorNumber_ == 0) {
        errorNumber_ = WriteAll(descriptor_, bytes);
    }
    return Status();
}

Result<void> ScratchFile::Rewind() {
    if (errorNumber_ == 0 && lseek(descriptor_, 0, SEEK_SET) != 0) {
        errorNumber_ = errno;
    }
    return Status();
}

size_t ScratchFile::Read(char* buffer, size_t bytes) {
    if (errorNumber_ != 0) {
        return 0;
    }
    return ReadUpTo(descriptor_, buffer, bytes, errorNumber_);
}

Result<void> ScratchFile::Status() const {
    if (errorNumber_ != 0) {
        return SystemError("cannot write a scratch file in", folder_, errorNumber_);
    }
    return {};
}

Result<bool> CreateNewFile(const std::filesystem::path& path) {
    if (path.has_parent_path()) {
        if (Result<void> made = CreateFolders(path.parent_path()); !made) {
            return made.error();
        }
    }
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        if (errno == EEXIST) {
            return false;
        }
        return SystemError("cannot create", path, errno);
    }
    close(descriptor);
    return true;
}

Result<void> DeleteFile(const std::filesystem::path& path) {
    if (unlink(path.c_str()) != 0) {
        return SystemError("cannot delete", path, errno);
    }
    return {};
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

Result<void> CreateFolders(const std::filesystem::path& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode)) {
            return SystemError("cannot create the folder", folder, ENOTDIR);
        }
        return {};
    }
    if (errno != ENOENT) {
        return SystemError("cannot create the folder", folder, errno);
    }
    const std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
        if (Result<void> made = CreateFolders(parent); !made) {
            return made;
        }
    }
    if (mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        return SystemError("cannot create the folder", folder, errno);
    }
    return {};
}

Result<std::filesystem::path> MoveAside(const std::filesystem::path& file,
                                        std::string_view suffix) {
    for (int copy = 1; copy <= kMaxAsideCopies; ++copy) {
        std::string candidate = file.native();
        candidate += suffix;
        if (copy > 1) {
            candidate += '-' + std::to_string(copy);
        }
        if (renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0) {
            return std::filesystem::path(candidate);
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return SystemError("cannot move aside", file, errno);
        }
        // The file system cannot refuse to replace by itself: look first, then rename.
        struct stat info {};
        if (lstat(candidate.c_str(), &info) == 0) {
            continue;
        }
        if (rename(file.c_str(), candidate.c_str()) != 0) {
            return SystemError("cannot move aside", file, errno);
        }
        return std::filesystem::path(candidate);
    }
    return MakeError("cannot move aside " + file.native() + ": every kept name is taken");
}

}  // namespace platform
