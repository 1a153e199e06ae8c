#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/caldav/caldav_collection.h"
#include "platform/pim/schedule_store.h"
#include "sync/conflict_archive.h"
#include "sync/ink_carrier.h"
#include "sync/item_text.h"
#include "sync/sync_outcome.h"

namespace calendar_sync {

// More synced items than this vanishing from the server at once stops the sync: an emptied
// collection is far more often a mistake (a wrong URL, a server restored from nothing) than a
// wish.
inline constexpr size_t kMassDeleteThreshold = 10;
// Items fetched with one calendar-multiget.
inline constexpr size_t kFetchBatchSize = 100;

struct CollectionSyncOptions {
    std::set<pim::ItemKind> kinds;  // what the collection holds for the store
    bool allowMassDelete = false;
    // The planner's ink files; none: handwriting does not travel.
    InkCarrier* ink = nullptr;
};

// The two-way sync of the store with one calendar collection. Changes on the server are found
// with its sync token (or by comparing ETags), local changes with the store's marks; each item
// is stored, uploaded or deleted on its own, so that an error stops the sync with everything done
// so far kept, and the next sync finishes the job. An item changed on both sides takes the
// version changed last in both places; the other goes to the conflict archive.
class CollectionSync {
public:
    CollectionSync(pim::Application& store, caldav::CalDavCollection& collection,
                   ConflictArchive& archive, CollectionSyncOptions options);

    platform::Result<SyncOutcome> Run();

private:
    using Key = std::pair<pim::ItemKind, std::string>;

    platform::Result<void> LoadEntries();
    // What the server changed and removed since the last sync; sets complete_ and token_.
    platform::Result<void> ListServerChanges(std::vector<caldav::RemoteItem>& changed,
                                             std::vector<std::string>& removed);
    platform::Result<void> Receive(const std::vector<caldav::RemoteItem>& changed);
    platform::Result<void> ApplyServerItem(const caldav::FetchedItem& fetched);
    platform::Result<void> ApplyServerRemoval(const std::string& href);
    platform::Result<void> SendLocalChanges();
    platform::Result<void> SendItem(const pim::SyncEntry& entry);
    platform::Result<void> SendDeletion(const pim::SyncEntry& entry);
    // A write refused because the server's item changed since it was last seen: fetch it and
    // settle it as a conflict.
    platform::Result<void> SettleRefusedWrite(const std::string& href);
    platform::Result<std::string> LocalText(const pim::SyncEntry& entry) const;
    platform::Result<pim::UidSaveSummary::Item> Store(const ServerItem& item,
                                                      const caldav::FetchedItem& fetched,
                                                      int32_t storedOid);
    platform::Result<void> DeleteHere(const pim::SyncEntry& entry);
    bool HoldsHere(const pim::SyncEntry& entry) const;

    pim::Application& store_;
    caldav::CalDavCollection& collection_;
    ConflictArchive& archive_;
    CollectionSyncOptions options_;
    int64_t now_ = 0;

    std::map<Key, pim::SyncEntry> entries_;
    std::map<std::string, Key> byHref_;
    bool keepToken_ = true;
    std::string token_;
    SyncOutcome outcome_;
};

}  // namespace calendar_sync
