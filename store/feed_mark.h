#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace store {

// What the store remembers of a subscribed feed's last fetch, so that the next asks only for a
// newer copy (the answer's ETag and Last-Modified, given back as they came) and so that a fetch
// that failed can be told apart from one never made.
struct FeedMark {
    std::string etag;          // quotes kept; empty when the server gave none
    std::string lastModified;  // the Last-Modified header as it came; empty when none
    int64_t lastFetch = 0;     // seconds since 1970 UTC of the last answer taken; 0: never
    std::string lastError;     // why the latest refresh failed; empty when it did not

    friend bool operator==(const FeedMark&, const FeedMark&) = default;
};

// What replacing a feed's items did.
struct FeedReplacement {
    int added = 0;
    int updated = 0;
    int removed = 0;
    int unchanged = 0;
    // Items of the feed left out, one line each: an item whose UID an item of another calendar
    // of the store has already (kept once, where it was first).
    std::vector<std::string> notes;
};

}  // namespace store
