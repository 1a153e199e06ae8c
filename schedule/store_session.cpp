#include "schedule/store_session.h"

#include <utility>

namespace schedule {

StoreSession::StoreSession(std::filesystem::path storeFile, std::chrono::milliseconds busyTimeout)
    : storeFile_(std::move(storeFile)), busyTimeout_(busyTimeout) {}

platform::Result<store::Application*> StoreSession::LoggedOnApplication() {
    if (application_) {
        return application_.get();
    }
    auto application = std::make_unique<store::Application>();
    if (auto logOn = application->LogOn(storeFile_, busyTimeout_); !logOn) {
        return logOn.error();
    }
    application_ = std::move(application);
    return application_.get();
}

void StoreSession::Release() {
    if (application_) {
        application_->LogOff();
        application_.reset();
    }
}

}  // namespace schedule
