#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sync/item_text.h"

// How a sync settles an item changed on both sides: each side's changes are told apart against
// the base (the version both sides last agreed on), and merged property by property. A property
// changed on one side only takes that side's value; only a property changed differently on both
// sides is a conflict, and the later side's value wins it.
namespace calendar_sync {

// Whose version of an item.
enum class Side { Here, Server };

// What decides which side's version is the later one: its SEQUENCE, when it says it changed
// (LAST-MODIFIED, else DTSTAMP), and for the server's copy the server's own time of it.
struct VersionStamp {
    int64_t sequence = 0;
    std::optional<int64_t> changedAt;  // seconds since 1970 UTC
};

// The side whose version is the later: the higher SEQUENCE; else the later change time; a side
// that does not say when it changed loses to one that does. A tie goes to this planner: the
// server's time is when it stored the other change, before this sync began, while the change
// here was made no earlier than the second it shares with it.
Side LaterSide(const VersionStamp& here, const VersionStamp& server);

// The SEQUENCE an item's kept lines carry (0 when none).
int64_t SequenceOf(const ServerItem& item);

// Whether two versions of an item mean the same: every property the same, compared as the
// planner reads it (a zone by the times it gives, kept lines in any order), stamps and SEQUENCE
// aside.
bool SameMeaning(const ServerItem& one, const ServerItem& other);

// Whether the server's copy holds some of what `sent` changed against `agreed` (anything of it,
// when there is no agreed version): the upload of `sent` arrived, though its answer never
// came, and the copy was made from it.
bool HoldsChangesOf(const ServerItem& copy, const ServerItem& sent, const ServerItem* agreed);

// What merging two versions of an item against their base gave.
struct ItemMerge {
    // The merged version: the server's with what was changed here taken in. Its SEQUENCE is
    // never below either side's, and above the server's when it changes what the server's
    // clients count as a new version (times, repetition, status).
    ServerItem merged;
    // The properties changed differently on both sides ("SUMMARY", "DTSTART", ...), each settled
    // for the later side.
    std::vector<std::string> conflicts;
    // The merged version holds something the server's copy does not: it is to be sent.
    bool sendToServer = false;
    // The merged version holds something this planner's copy does not: it is to be stored here.
    bool storeHere = false;
};

// Merges `here` and `server` against `base`. Without a base, every property the two versions
// hold differently counts as changed on both sides, and the later side's version is taken whole.
ItemMerge MergeItems(const ServerItem* base, const ServerItem& here, const ServerItem& server,
                     Side later);

}  // namespace calendar_sync
