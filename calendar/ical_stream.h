#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/ical_lines.h"
#include "platform/result.h"

// A calendar file read as a stream: its content lines read in bounded chunks, so that a reading
// holds one line and one component at a time however large the file.
namespace calendar {

// Where the bytes of a calendar come from. A reading goes through them twice (see
// StreamICalendar), each time from the start.
class CalendarSource {
public:
    virtual ~CalendarSource() = default;
    // Back to the first byte.
    virtual platform::Result<void> Rewind() = 0;
    // Up to `bytes` into `buffer`; 0 at the end (or on an error, which Status then reports).
    virtual size_t Read(char* buffer, size_t bytes) = 0;
    virtual platform::Result<void> Status() const = 0;
};

// A calendar held as text (a test's, or a pipe's read whole).
class TextSource : public CalendarSource {
public:
    explicit TextSource(std::string_view text) : text_(text) {}
    platform::Result<void> Rewind() override {
        at_ = 0;
        return {};
    }
    size_t Read(char* buffer, size_t bytes) override;
    platform::Result<void> Status() const override { return {}; }

private:
    std::string_view text_;
    size_t at_ = 0;
};

namespace ical {

// How much of a file a reading takes in at a time.
inline constexpr size_t kReadChunkBytes = 256 * 1024;

// The content lines of a calendar from its source, as ReadContentLines gives them, read in chunks
// of `chunkBytes`: a physical line longer than kMaxLineOctets is let go as it comes and its
// content line is broken ("the line is longer than 32 MiB").
class ContentLineReader {
public:
    explicit ContentLineReader(CalendarSource& source, size_t chunkBytes = kReadChunkBytes);

    // The next content line; nothing at the end of the text. An error when the text does not
    // begin as a calendar, or when the source fails.
    platform::Result<std::optional<ContentLine>> Next();
    // How many bytes have been read so far.
    uint64_t BytesRead() const { return bytesRead_; }

private:
    // Gives the unfolder the next physical line; false at the end of the source.
    bool ReadPhysicalLine();
    bool Refill();

    CalendarSource& source_;
    std::vector<char> chunk_;
    size_t at_ = 0;
    size_t end_ = 0;
    bool sourceEnded_ = false;
    // The beginning of a physical line that goes on in the next chunk, and whether more of it
    // than kMaxLineOctets was let go.
    std::string pending_;
    bool pendingCut_ = false;
    int lineNumber_ = 0;
    uint64_t bytesRead_ = 0;
    LineUnfolder unfolder_;
};

}  // namespace ical
}  // namespace calendar
