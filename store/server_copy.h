#pragma once

#include <string>

namespace store {

// The calendar server's copy of an item as a sync records it: where it is, which version it is,
// and its text. The text is the base of the next merge: the version both sides last agreed on,
// against which each side's changes are told apart.
struct ServerCopy {
    std::string href;  // empty: the server does not hold the item (any more)
    std::string etag;
    std::string text = {};  // empty: not known, and a change on both sides is settled whole
};

// The versions a merge of an item's server copy starts from: the one both sides last agreed on,
// and one this planner sent since without hearing that it arrived (a sync cut off after its
// upload). Empty: not known.
struct MergeBases {
    std::string agreed;
    std::string sent;
};

// What the last complete sync of a collection left for the next: the server's sync token (empty:
// none), and whether the next sync lists the whole collection besides. It does when no token
// could be had after this planner's own writes: a report from an earlier token may leave out an
// item this planner made that another program deleted since, as neither state it compares holds
// it; the token still tells whether the collection is the one synced before.
struct CollectionMark {
    std::string token;
    bool listWhole = false;
};

// How an item from the server is stored here: as the server's version, in step with it; or as a
// version of the sync's own making (the server's merged with changes made here) that the server
// is still to be sent.
enum class SyncedAs { InStep, ToSend };

}  // namespace store
