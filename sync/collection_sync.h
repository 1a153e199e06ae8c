#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "caldav/calendar_collection.h"
#include "store/schedule_store.h"
#include "sync/conflict_archive.h"
#include "sync/ink_carrier.h"
#include "sync/item_text.h"
#include "sync/sync_outcome.h"

namespace calendar_sync {

// A sync that would delete here more than this many items, or more than half of those synced
// with the collection (when that is at least kMassDeleteMinimum), stops instead: so many items
// vanishing from the server at once is far more often a mistake (a wrong URL, a collection
// emptied or replaced by another program, a server restored from nothing) than a wish.
inline constexpr size_t kMassDeleteThreshold = 10;
inline constexpr size_t kMassDeleteMinimum = 3;
// Items fetched with one calendar-multiget.
inline constexpr size_t kFetchBatchSize = 100;

struct CollectionSyncOptions {
    std::set<calendar::ItemKind> kinds;  // what the collection holds for the store
    bool allowMassDelete = false;
    // The planner's ink files; none: handwriting does not travel.
    InkCarrier* ink = nullptr;
    // The clock a sync stamps what it settles with, in seconds since 1970 UTC; none: the
    // system's.
    std::function<int64_t()> now;
    // The store's calendar the collection is: its items alone are synced with it, and what the
    // server holds is stored in it.
    int64_t calendarId = 1;
};

// The two-way sync of the store with one calendar collection. Changes on the server are found
// with its sync token (or by comparing ETags), local changes with the store's marks; each item
// is stored, uploaded or deleted on its own, so that an error stops the sync with everything done
// so far kept, and the next sync finishes the job. An item changed on both sides takes the
// version changed last in both places; the other goes to the conflict archive.
class CollectionSync {
public:
    CollectionSync(store::Application& store, caldav::CalendarCollection& collection,
                   ConflictArchive& archive, CollectionSyncOptions options);

    platform::Result<SyncOutcome> Run();

private:
    using Key = std::pair<calendar::ItemKind, std::string>;

    platform::Result<void> LoadEntries();
    // What the server changed and removed since the last sync; sets complete_ and token_.
    platform::Result<void> ListServerChanges(std::vector<caldav::RemoteItem>& changed,
                                             std::vector<std::string>& removed);
    platform::Result<void> Receive(const std::vector<caldav::RemoteItem>& changed);
    platform::Result<void> ApplyServerItem(const caldav::FetchedItem& fetched);
    platform::Result<void> ApplyServerRemoval(const std::string& href);
    platform::Result<void> SendLocalChanges();
    platform::Result<void> SendItem(const calendar::SyncEntry& entry);
    platform::Result<void> SendDeletion(const calendar::SyncEntry& entry);
    // Deletes the copy an item moved here left in its old collection, once it is here.
    platform::Result<void> RemoveMovedCopy(const Key& key);
    // A write refused because the server's item changed since it was last seen: fetch it and
    // settle it as a conflict.
    platform::Result<void> SettleRefusedWrite(const std::string& href);
    platform::Result<std::string> LocalText(const calendar::SyncEntry& entry) const;
    // Stores the server's version (or, ToSend, one merged from it) unless the item changed here
    // since the sync compared it (`entry`'s revision; none for an item new here): then nothing.
    platform::Result<std::optional<store::UidSaveSummary::Item>> Store(
        const ServerItem& item, const caldav::FetchedItem& fetched,
        const calendar::SyncEntry* entry, store::SyncedAs as);
    // The version the server's `copy` and this planner's were both made from, when it is
    // known: the one both sides last agreed on, or one sent since.
    std::optional<ServerItem> BaseOf(const calendar::SyncEntry& entry,
                                     const ServerItem& copy) const;
    // When the server's copy changed, as far as it can be told.
    platform::Result<std::optional<int64_t>> ServerChangeTime(const ServerItem& item,
                                                              const caldav::FetchedItem& fetched,
                                                              const std::optional<ServerItem>& base,
                                                              const calendar::SyncEntry& local);
    // Deletes the item here unless it changed here since the sync compared it (false).
    platform::Result<bool> DeleteHere(const calendar::SyncEntry& entry);
    // The item is now at `canonical` on the server: the href it had no longer names it.
    void ForgetOldHref(const Key& key, const std::string& canonical);
    // The item's entry as the store holds it now, after it changed here during the sync.
    platform::Result<void> ReloadEntry(const Key& key);
    // Whether the server's copy is the very version this planner would send of the item (`ours`).
    static bool IsOwnUpload(const ServerItem& server, const ServerItem& ours);
    // An item that changed here again while its conflict was settled: left for the next sync.
    platform::Result<void> ChangedAgain(const std::string& uid);
    // A collection the server replaced (it no longer knows our token, or holds none of the items
    // synced with it): nothing is deleted here, and whatever it lacks is offered again.
    platform::Result<void> OfferAgainWhatIsMissing(const std::set<std::string>& present);
    // The token for the next sync: the server's after our own writes, when what changed since
    // the listing is exactly what this sync wrote; else the listing's, and the next sync lists
    // the whole collection besides.
    void TakeTokenAfterWrites();
    bool HoldsHere(const calendar::SyncEntry& entry) const;
    // An href in the one spelling hrefs are compared in; requests use the server's own.
    std::string CanonicalOf(const std::string& href) const;

    store::Application& store_;
    caldav::CalendarCollection& collection_;
    ConflictArchive& archive_;
    CollectionSyncOptions options_;
    int64_t now_ = 0;

    std::map<Key, calendar::SyncEntry> entries_;
    // Items of the store's other calendars: the same UID in this collection is left alone.
    std::set<Key> elsewhere_;
    // Items moved here from another calendar, as they were synced there: each is sent here as
    // new, and only then deleted from the collection it was in.
    std::map<Key, calendar::SyncEntry> movedFrom_;
    std::map<std::string, Key> byHref_;  // by canonical href
    bool keepToken_ = true;
    // The collection may not be the one the store was last in step with (it forgot this
    // planner's last sync, or holds none of its items).
    bool replaced_ = false;
    std::string token_;
    bool listWhole_ = false;
    // What this sync wrote to the server: href and the ETag it gave (empty for a deletion).
    std::map<std::string, std::string> written_;
    std::set<std::string> deletedOnServer_;
    SyncOutcome outcome_;
};

}  // namespace calendar_sync
