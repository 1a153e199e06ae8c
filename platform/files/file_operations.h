#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/files/readable_file.h"
#include "platform/result.h"

namespace platform {

// Mode of every folder the program creates: the data is the user's alone.
inline constexpr unsigned kPrivateFolderMode = 0700;

// "ACTION PATH: reason" for a failed system call.
Error SystemError(std::string_view action, const std::filesystem::path& path, int errorNumber);

// The whole content of an existing regular file (or, with FileKinds::RegularOrPipe, a pipe) of
// at most `maxBytes`. Whatever is larger is refused ("larger than N bytes") without being read
// whole, a regular file by its size before a byte is read; so is anything that is not a file of
// the kinds (ReadableFile::Open): no input, however large or endless, takes more than about
// twice `maxBytes` of memory.
Result<std::string> ReadWholeFile(const std::filesystem::path& path, size_t maxBytes,
                                  FileKinds kinds = FileKinds::RegularOnly);
// The same for a file already opened, of which `content` was read already (its first line, say,
// looked at before the rest is read).
Result<std::string> ReadToEnd(ReadableFile& file, size_t maxBytes, std::string content = {});

// Whether a write makes the folders a path names that are not there yet (the data home's own), or
// refuses, as `cp` does, to write where the user named a folder that is not there.
enum class MissingFolders { Create, Refuse };

// Replaces (or creates) a file so that a reader sees either the old bytes or the new ones, never
// a mix: the bytes go to "<name>.tmp-XXXXXX" beside it (mode 0600), are synced, and the
// temporary is renamed over the target. Missing parent folders are created 0700, or refused
// ("cannot write PATH: No such file or directory"). On failure the temporary is removed and the
// old file is left as it was.
Result<void> ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                   MissingFolders folders = MissingFolders::Create);

// ReplaceFileAtomically for bytes written a piece at a time (an export of the whole store): the
// pieces go to "<name>.tmp-XXXXXX" beside the target, and Commit syncs it and renames it over the
// target. Until then the target stays as it was; a replacement that goes without Commit, or whose
// writes failed, takes its temporary with it.
class FileReplacement {
public:
    static Result<FileReplacement> Begin(const std::filesystem::path& path,
                                         MissingFolders folders = MissingFolders::Create);
    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&&) = delete;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement();

    Result<void> Write(std::string_view bytes);
    // An error, the target left as it was, when a write failed or the file cannot be put in place.
    Result<void> Commit();

private:
    FileReplacement(int descriptor, std::filesystem::path target, std::string temporary);

    int descriptor_ = -1;
    std::filesystem::path target_;
    std::string temporary_;  // empty once it is the target
    int errorNumber_ = 0;
};

// A file without a name in `folder` (0600) for data written once and read back from the start
// (what must be written after something not known yet): gone when this goes, or when the process
// ends.
class ScratchFile {
public:
    static Result<ScratchFile> Create(const std::filesystem::path& folder);
    ScratchFile(ScratchFile&& other) noexcept;
    ScratchFile& operator=(ScratchFile&&) = delete;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();

    Result<void> Write(std::string_view bytes);
    // Back to the first byte, for reading what was written.
    Result<void> Rewind();
    // Up to `bytes`; fewer only at the end or on an error, which Status reports.
    size_t Read(char* buffer, size_t bytes);
    Result<void> Status() const;

private:
    ScratchFile(int descriptor, std::filesystem::path folder)
        : descriptor_(descriptor), folder_(std::move(folder)) {}

    int descriptor_ = -1;
    std::filesystem::path folder_;
    int errorNumber_ = 0;
};

// Creates an empty file (mode 0600, missing parent folders 0700) where nothing is yet, in one
// step: of several processes creating the same name at once exactly one gets true; false when
// something was already there.
Result<bool> CreateNewFile(const std::filesystem::path& path);

// Deletes a file; a file that is not there is an error.
Result<void> DeleteFile(const std::filesystem::path& path);

// Whether anything exists at the path (a broken link counts as nothing).
bool FileExists(const std::filesystem::path& path);

// Creates the folder and any missing parents with mode 0700; folders already there keep theirs.
Result<void> CreateFolders(const std::filesystem::path& folder);

// Renames a file to "<file><suffix>", or "<file><suffix>-2", "-3", ... when that name is taken,
// without ever replacing anything. Returns the name it now has.
Result<std::filesystem::path> MoveAside(const std::filesystem::path& file, std::string_view suffix);

}  // namespace platform
