#pragma once

#include "editors/write_result.h"
#include "platform/files/data_home.h"
#include "platform/result.h"
#include "platform/time/date_time.h"
#include "schedule/month_census.h"
#include "schedule/store_session.h"
#include "settings/settings.h"
#include "store/schedule_store.h"

namespace editors {

// What the store writes read and change besides the edit record and the pad: the store
// connection, where the data folder lies, the settings (DataPath, HoliDay), the month census,
// which a write involving the holiday category marks stale, and the clock the program was given,
// which dates a completion.
struct StoreWriteContext {
    schedule::StoreSession& store;
    const platform::DataHome& home;
    const settings::Settings& settings;
    schedule::MonthCensusState& census;
    const platform::Clock& clock;
};

// The item collection of the default folder of that kind, where a new item is added. When the
// folder or its collection cannot be had the session is released, so the next write logs on
// again.
platform::Result<store::Items> DefaultFolderItems(const StoreWriteContext& context,
                                                  store::FolderKind kind);

// A write that did not happen, with the store's or the file system's words.
inline WriteResult Failure(WriteStatus status, const platform::Error& error) {
    return WriteResult{status, error.message, 0};
}

}  // namespace editors
