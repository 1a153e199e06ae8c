#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "platform/files/data_home.h"
#include "platform/result.h"
#include "schedule/ink_entry.h"

namespace store {
class Application;
}  // namespace store

namespace schedule {

// Ink files are numbered "1.dat" to "1999.dat"; the search takes the lowest free number.
inline constexpr int32_t kFirstInkNumber = 1;
inline constexpr int32_t kLastInkNumber = 1999;

// "<number>.dat".
std::u16string InkFileName(int32_t number);

// Where the ink file `name` of the data folder lies: an error when the name is not one the
// planner writes, when "<dataFolder>\<name>" would pass schedule::kMaxInkPathUnits (the reader
// would never open it), or when the folder cannot be mapped onto this machine.
platform::Result<std::filesystem::path> InkFilePath(const platform::DataHome& home,
                                                    std::u16string_view dataFolder,
                                                    std::u16string_view name);

// The design's FindFreeInkNumber, safe with two writers (the planner and tessarinth-cli, say):
// the lowest number from kFirstInkNumber to kLastInkNumber that no handwritten memo of `store`
// names, whose file is not there and whose path fits, taken by creating its file empty in one
// step, so that no other writer can take it too. The caller fills the file (WriteInkFile) or
// deletes it again. An error when no number is free, so that no file is ever named from a number
// that is not. Anything at a number's path (also a file that cannot be read) keeps it taken: a
// new memo never replaces a file it did not write; and so does a memo naming it whose file was
// deleted by hand: two memos never come to name one drawing. On an error, `why` (when given)
// says whether the numbers ran out or the folder (or the store) cannot say: the user is told one
// or the other.
enum class InkClaimFailure { NumbersTaken, FolderUnusable };
class InkClaimJournal;
// Each number is listed in `journal` (when given) before its file is made, and given up there
// when another writer made it first: a run killed at any moment leaves no file unlisted.
platform::Result<int32_t> ClaimFreeInkNumber(const platform::DataHome& home,
                                             std::u16string_view dataFolder,
                                             const store::Application& store,
                                             InkClaimJournal* journal = nullptr,
                                             InkClaimFailure* why = nullptr);

// Takes the ink file `name` itself, as ClaimFreeInkNumber takes a number: true when this call
// made its file, false when something is already there; listed in `journal` (when given) first.
platform::Result<bool> ClaimInkName(const platform::DataHome& home, std::u16string_view dataFolder,
                                    std::u16string_view name, InkClaimJournal* journal);

// Writes the entries to the ink file `name` of the data folder, replacing an earlier file of
// that name atomically: a crash or a full disk leaves the old file whole. The file holds each
// entry as x then y, signed 32-bit little-endian, with no header; at most kMaxInkEntries.
platform::Result<void> WriteInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                                    std::u16string_view name,
                                    std::span<const schedule::InkEntry> entries);

// Whether bytes are what an ink file holds (schedule::EncodeInkEntries): whole records, 1 to
// kMaxInkEntries of them; the error says so.
platform::Result<void> CheckInkBytes(std::string_view bytes);
// WriteInkFile from such bytes: an error, and nothing written, when CheckInkBytes refuses them.
platform::Result<void> WriteInkBytes(const platform::DataHome& home, std::u16string_view dataFolder,
                                     std::u16string_view name, std::string_view bytes);

// Deletes the ink file `name` of the data folder. Only names the planner writes are deleted.
platform::Result<void> DeleteInkFile(const platform::DataHome& home, std::u16string_view dataFolder,
                                     std::u16string_view name);

// The ink files one editor save, undo, import or sync run claims (and the stored memos' files it
// replaces), listed under the data home while the run lives, so that the files of a run killed
// before the store named them are removed at the next start instead of holding their numbers for
// ever. The list
// is made at the first Record and locked while its run lives (a lock dies with its process, so a
// list nobody holds is a dead run's); it goes when the run ends.
class InkClaimJournal {
public:
    InkClaimJournal(const platform::DataHome& home, std::u16string_view dataFolder);
    ~InkClaimJournal();
    InkClaimJournal(const InkClaimJournal&) = delete;
    InkClaimJournal& operator=(const InkClaimJournal&) = delete;

    // Lists the ink file `name` of the data folder. An error when it cannot be listed: the
    // caller then does not make the file, which a crash could not remove.
    platform::Result<void> Record(std::u16string_view name);
    // Marks a listed name as not this run's: another writer made its file first.
    platform::Result<void> GiveUp(std::u16string_view name);

private:
    platform::Result<void> Begin();

    std::filesystem::path folder_;
    std::u16string dataFolder_;
    std::filesystem::path path_;
    int descriptor_ = -1;
};

// Removes, from the lists of runs that ended without removing them (killed, or the machine went
// down), each ink file no stored handwritten memo names, then the list. A list whose run still
// lives is left alone, and a file is kept whenever the store cannot say: handwriting is never
// deleted on a guess.
void RemoveUnstoredInkFiles(const platform::DataHome& home, const store::Application& store);

}  // namespace schedule
