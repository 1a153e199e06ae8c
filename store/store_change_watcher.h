#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace store {

// Notices that the schedule store changed: any write committed by another connection (another
// process such as the CLI or a sync, or another connection of this one). It keeps a connection
// of its own open and compares SQLite's data version, which changes exactly when another
// connection commits; a check reads no table and touches no file beyond the shared WAL index,
// so it is cheap enough to ask twice a second. It does not see its own connection's writes,
// and it has none.
class StoreChangeWatcher {
public:
    explicit StoreChangeWatcher(std::filesystem::path storeFile);
    ~StoreChangeWatcher();
    StoreChangeWatcher(const StoreChangeWatcher&) = delete;
    StoreChangeWatcher& operator=(const StoreChangeWatcher&) = delete;

    // Whether the store changed since the last call (the first call only takes note, and says
    // false). A store that cannot be opened or read yet counts as unchanged; once it can be
    // read again after a failure, that counts as a change, since writes may have been missed.
    bool HasChanged();

private:
    bool Open();
    void Close();
    std::optional<int64_t> ReadDataVersion();

    std::filesystem::path storeFile_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* dataVersion_ = nullptr;
    std::optional<int64_t> lastVersion_;
    bool missedReads_ = false;
};

}  // namespace store
