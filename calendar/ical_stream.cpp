#include "calendar/ical_stream.h"

#include <algorithm>
#include <cstring>

namespace calendar {

size_t TextSource::Read(char* buffer, size_t bytes) {
    const size_t count = std::min(bytes, text_.size() - at_);
    std::memcpy(buffer, text_.data() + at_, count);
    at_ += count;
    return count;
}

namespace ical {

ContentLineReader::ContentLineReader(CalendarSource& source, size_t chunkBytes)
    : source_(source), chunk_(std::max<size_t>(chunkBytes, 1)) {}

bool ContentLineReader::Refill() {
    if (sourceEnded_) {
        return false;
    }
    at_ = 0;
    end_ = source_.Read(chunk_.data(), chunk_.size());
    bytesRead_ += end_;
    if (end_ == 0) {
        sourceEnded_ = true;
        return false;
    }
    return true;
}

bool ContentLineReader::ReadPhysicalLine() {
    for (;;) {
        if (at_ == end_ && !Refill()) {
            if (pending_.empty() && !pendingCut_) {
                return false;
            }
            unfolder_.Add(++lineNumber_, pending_, pendingCut_);  // the last line, without LF
            std::string().swap(pending_);
            pendingCut_ = false;
            return true;
        }
        const char* begin = chunk_.data() + at_;
        const char* newline = static_cast<const char*>(std::memchr(begin, '\n', end_ - at_));
        const size_t length = newline ? static_cast<size_t>(newline - begin) : end_ - at_;
        at_ += length + (newline ? 1 : 0);
        if (newline && pending_.empty() && !pendingCut_) {
            unfolder_.Add(++lineNumber_, std::string_view(begin, length));
            return true;
        }
        // A line that goes on past the chunk: gathered, up to the longest line read and its CR.
        constexpr size_t kMostGathered = kMaxLineOctets + 1;
        const size_t room = kMostGathered - std::min(pending_.size(), kMostGathered);
        if (length > room) {
            pendingCut_ = true;
        }
        pending_.append(begin, std::min(length, room));
        if (newline) {
            unfolder_.Add(++lineNumber_, pending_, pendingCut_);
            if (pending_.capacity() > chunk_.size()) {
                std::string().swap(pending_);
            } else {
                pending_.clear();
            }
            pendingCut_ = false;
            return true;
        }
    }
}

platform::Result<std::optional<ContentLine>> ContentLineReader::Next() {
    for (;;) {
        if (platform::Result<void> begins = unfolder_.BeginsAsCalendar(); !begins.ok()) {
            return begins.error();
        }
        if (std::optional<ContentLine> line = unfolder_.Next()) {
            return line;
        }
        if (!ReadPhysicalLine()) {
            if (platform::Result<void> status = source_.Status(); !status.ok()) {
                return status.error();
            }
            unfolder_.Finish();
            if (platform::Result<void> begins = unfolder_.BeginsAsCalendar(); !begins.ok()) {
                return begins.error();
            }
            return unfolder_.Next();
        }
    }
}

}  // namespace ical
}  // namespace calendar
