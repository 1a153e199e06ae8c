#include "platform/files/readable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/files/file_operations.h"

namespace platform {

Result<ReadableFile> ReadableFile::Open(const std::filesystem::path& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return SystemError("cannot open", path, errno);
    }
    return ReadableFile(descriptor, path);
}

ReadableFile::ReadableFile(int descriptor, std::filesystem::path path)
    : descriptor_(descriptor), path_(std::move(path)) {}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      errorNumber_(other.errorNumber_),
      path_(std::move(other.path_)) {}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
        errorNumber_ = other.errorNumber_;
        path_ = std::move(other.path_);
    }
    return *this;
}

ReadableFile::~ReadableFile() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

size_t ReadableFile::Read(void* buffer, size_t bytes) {
    auto* bytesOut = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < bytes && descriptor_ >= 0) {
        const ssize_t got = read(descriptor_, bytesOut + total, bytes - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            errorNumber_ = errno;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<size_t>(got);
    }
    return total;
}

Result<void> ReadableFile::Status() const {
    if (errorNumber_ != 0) {
        return SystemError("cannot read", path_, errorNumber_);
    }
    return {};
}

}  // namespace platform
