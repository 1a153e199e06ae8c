#pragma once

#include <cstdint>

namespace store {

// Whether the store may have changed between two readings: which connection read it, the commits
// of other connections it had seen (SQLite's data version) and the rows it had written itself.
// Equal marks mean nothing was written in between.
struct ChangeMark {
    int64_t connection = 0;  // numbered in the order the process opened them, from 1
    int64_t othersVersion = 0;
    int64_t ownChanges = 0;

    friend bool operator==(const ChangeMark&, const ChangeMark&) = default;
};

}  // namespace store
