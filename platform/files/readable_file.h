#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/result.h"

namespace platform {

// What an open accepts: a regular file, or also a pipe (a FIFO, a shell's "<(...)", standard
// input when it is one) for the few inputs a user may stream in. A device, a folder or a socket
// is never a file the program reads: /dev/zero would never end, a FIFO nobody writes to would
// never answer.
enum class FileKinds { RegularOnly, RegularOrPipe };

// Reads from an open descriptor until `bytes` are read or the data ends, going on after an
// interrupted read; a read error ends the data too, its number left in `errorNumber`.
size_t ReadUpTo(int descriptor, char* buffer, size_t bytes, int& errorNumber);

// An existing file opened for reading, closed when the object goes.
class ReadableFile {
public:
    // Opens without waiting on what is there: anything the kinds do not take is refused
    // ("not a regular file") before a byte is read. A pipe the kinds take is opened as any reader
    // of it would, waiting for its writer.
    static Result<ReadableFile> Open(const std::filesystem::path& path,
                                     FileKinds kinds = FileKinds::RegularOnly);

    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ~ReadableFile();

    // Reads up to `bytes` and says how many it got: fewer only at the end of the file, where a
    // record may be cut short. A read error also ends the data; Status() then reports it.
    size_t Read(void* buffer, size_t bytes);

    // Back to the first byte, for a file read twice; an error for a pipe.
    Result<void> Rewind();

    // Whether every read so far succeeded, or what failed.
    Result<void> Status() const;

    // A regular file's size when it was opened; nothing for a pipe, whose end is not known.
    std::optional<uint64_t> Size() const { return size_; }
    const std::filesystem::path& Path() const { return path_; }

private:
    ReadableFile(int descriptor, std::filesystem::path path, std::optional<uint64_t> size);

    int descriptor_ = -1;
    int errorNumber_ = 0;
    std::filesystem::path path_;
    std::optional<uint64_t> size_;
};

}  // namespace platform
