#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "calendar/ical_io.h"
#include "platform/files/data_home.h"

namespace cli {

// How `import` treats a file: with --strict, anything it cannot read refuses the whole file;
// with --check, the file is read and reported on and nothing is written.
struct ImportOptions {
    calendar::ImportMode mode = calendar::ImportMode::TakeWhatCanBeTaken;
    bool checkOnly = false;
};

// `import [--strict] [--check] FILE.ics`: every event and task of the file that can be read, in one
// transaction (a kill part-way leaves the store as it was); each component that cannot be read is
// skipped, with one line on `err` naming its line and why. An item whose UID is stored already
// updates that item in place (object id, ink file and what the file does not say stay), so
// importing a file twice changes nothing. Handwriting that came with an appointment gets an ink
// file of its own. Prints how many items were added, updated, found unchanged and skipped, the
// changed occurrences kept with their series, and the notes. Ends with 0 when the whole file was
// taken, kSomeSkippedStatus when part of it was skipped, and 1 when nothing could be taken
// (--check: would be).
inline constexpr int kSomeSkippedStatus = 3;
// The most an import reads, in bytes. A regular file is read as a stream, twice (first for its
// zones and which series have changed occurrences, then for its items), its items stored in
// batches inside one transaction, in memory that does not grow with the file: up to
// kMaxImportFileBytes. A pipe (such as "<(curl ...)"), which can be read only once, is read whole
// first: up to kMaxImportBytes, twice the largest calendar one person keeps (a hundred thousand
// events take 15 MB). Either way its first line must begin a calendar before anything more is
// read.
inline constexpr size_t kMaxImportBytes = 32 * 1024 * 1024;
inline constexpr uint64_t kMaxImportFileBytes = 1024ull * 1024 * 1024;
int ImportCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  std::ostream& out, std::ostream& err);
int ImportCalendar(const platform::DataHome& home, const std::string& file,
                   const ImportOptions& options, std::ostream& out, std::ostream& err);
// With the default options, on standard output and standard error.
int ImportCalendar(const platform::DataHome& home, const std::string& file);

// `export FILE.ics` (or "-" for standard output): the whole store as one calendar, each
// handwritten memo carrying its ink.
int ExportCalendar(const platform::DataHome& home, const std::string& file);

}  // namespace cli
