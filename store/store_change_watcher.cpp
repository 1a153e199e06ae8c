#include "store/store_change_watcher.h"

namespace store {

StoreChangeWatcher::StoreChangeWatcher(std::filesystem::path storeFile)
    : storeFile_(std::move(storeFile)) {}

StoreChangeWatcher::~StoreChangeWatcher() {
    Close();
}

bool StoreChangeWatcher::Open() {
    if (db_ != nullptr) {
        return true;
    }
    // Never creates the store: that is for the planner's own connection to do, with its schema.
    if (sqlite3_open_v2(storeFile_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &dataVersion_, nullptr) != SQLITE_OK) {
        Close();
        return false;
    }
    return true;
}

void StoreChangeWatcher::Close() {
    sqlite3_finalize(dataVersion_);
    dataVersion_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
}

std::optional<int64_t> StoreChangeWatcher::ReadDataVersion() {
    if (!Open()) {
        return std::nullopt;
    }
    std::optional<int64_t> version;
    if (sqlite3_step(dataVersion_) == SQLITE_ROW) {
        version = sqlite3_column_int64(dataVersion_, 0);
    }
    sqlite3_reset(dataVersion_);
    if (!version) {
        Close();  // a damaged or vanished file: opened afresh at the next check
    }
    return version;
}

bool StoreChangeWatcher::HasChanged() {
    const std::optional<int64_t> version = ReadDataVersion();
    if (!version) {
        missedReads_ = lastVersion_.has_value() || missedReads_;
        return false;
    }
    // A new connection starts its own count, so after a reopen only "changed" is safe to say.
    const bool changed = missedReads_ || (lastVersion_ && *lastVersion_ != *version);
    missedReads_ = false;
    lastVersion_ = version;
    return changed;
}

}  // namespace store
