#pragma once

#include <chrono>
#include <filesystem>
#include <memory>

#include "platform/result.h"
#include "store/schedule_store.h"

namespace schedule {

// The one connection to the schedule store that the readers share. It logs on at the first
// request; a reader whose collection request failed releases it, and the next request logs on
// again, so that nothing ever works on a connection that was given up.
class StoreSession {
public:
    explicit StoreSession(
        std::filesystem::path storeFile,
        std::chrono::milliseconds busyTimeout = store::Application::kDefaultBusyTimeout);
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    // The logged-on store, logging on first when the session holds none.
    platform::Result<store::Application*> LoggedOnApplication();

    // Logs off and drops the connection.
    void Release();

    bool IsLoggedOn() const { return application_ != nullptr; }
    const std::filesystem::path& StoreFile() const { return storeFile_; }

private:
    std::filesystem::path storeFile_;
    std::chrono::milliseconds busyTimeout_;
    std::unique_ptr<store::Application> application_;
};

}  // namespace schedule
