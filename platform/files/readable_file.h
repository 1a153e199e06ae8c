#pragma once

#include <cstddef>
#include <filesystem>

#include "platform/result.h"

namespace platform {

// An existing file opened for reading, closed when the object goes.
class ReadableFile {
public:
    static Result<ReadableFile> Open(const std::filesystem::path& path);

    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ~ReadableFile();

    // Reads up to `bytes` and says how many it got: fewer only at the end of the file, where a
    // record may be cut short. A read error also ends the data; Status() then reports it.
    size_t Read(void* buffer, size_t bytes);

    // Whether every read so far succeeded, or what failed.
    Result<void> Status() const;

private:
    ReadableFile(int descriptor, std::filesystem::path path);

    int descriptor_ = -1;
    int errorNumber_ = 0;
    std::filesystem::path path_;
};

}  // namespace platform
