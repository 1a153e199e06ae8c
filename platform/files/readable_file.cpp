#include "platform/files/readable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/files/file_operations.h"

namespace platform {

namespace {

bool Accepted(mode_t mode, FileKinds kinds) {
    return S_ISREG(mode) || (kinds == FileKinds::RegularOrPipe && S_ISFIFO(mode));
}

Error NotARegularFile(const std::filesystem::path& path) {
    return MakeError("cannot read " + path.native() + ": not a regular file");
}

}  // namespace

Result<ReadableFile> ReadableFile::Open(const std::filesystem::path& path, FileKinds kinds) {
    // Looked at before it is opened: opening a device can do things of its own (a terminal, a
    // tape), and opening a FIFO waits for its writer.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return SystemError("cannot open", path, errno);
    }
    if (!Accepted(info.st_mode, kinds)) {
        return NotARegularFile(path);
    }
    // A pipe is opened as its readers open it, waiting for the writer; anything else without
    // waiting, in case it was swapped for a FIFO since the look.
    const bool pipe = S_ISFIFO(info.st_mode);
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | (pipe ? 0 : O_NONBLOCK));
    if (descriptor < 0) {
        return SystemError("cannot open", path, errno);
    }
    // What was opened is checked again: the name may have been given to something else since.
    if (fstat(descriptor, &info) != 0 || !Accepted(info.st_mode, kinds) ||
        S_ISFIFO(info.st_mode) != pipe) {
        close(descriptor);
        return NotARegularFile(path);
    }
    if (!pipe) {
        const int flags = fcntl(descriptor, F_GETFL);
        if (flags >= 0) {
            fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    return ReadableFile(
        descriptor, path,
        pipe ? std::nullopt : std::optional<uint64_t>(static_cast<uint64_t>(info.st_size)));
}

ReadableFile::ReadableFile(int descriptor, std::filesystem::path path, std::optional<uint64_t> size)
    : descriptor_(descriptor), path_(std::move(path)), size_(size) {}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      errorNumber_(other.errorNumber_),
      path_(std::move(other.path_)),
      size_(other.size_) {}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
        errorNumber_ = other.errorNumber_;
        path_ = std::move(other.path_);
        size_ = other.size_;
    }
    return *this;
}

ReadableFile::~ReadableFile() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

size_t ReadUpTo(int descriptor, char* buffer, size_t bytes, int& errorNumber) {
    size_t total = 0;
    while (total < bytes) {
        const ssize_t got = read(descriptor, buffer + total, bytes - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            errorNumber = errno;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<size_t>(got);
    }
    return total;
}

size_t ReadableFile::Read(void* buffer, size_t bytes) {
    if (descriptor_ < 0) {
        return 0;
    }
    return ReadUpTo(descriptor_, static_cast<char*>(buffer), bytes, errorNumber_);
}

Result<void> ReadableFile::Rewind() {
    if (!size_) {
        return MakeError("cannot read " + path_.string() + " again: it is a pipe");
    }
    if (lseek(descriptor_, 0, SEEK_SET) != 0) {
        return SystemError("cannot read", path_, errno);
    }
    return {};
}

Result<void> ReadableFile::Status() const {
    if (errorNumber_ != 0) {
        return SystemError("cannot read", path_, errorNumber_);
    }
    return {};
}

}  // namespace platform
