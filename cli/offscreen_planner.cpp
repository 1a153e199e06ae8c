#include "cli/offscreen_planner.h"

#include "app/startup.h"
#include "platform/registry/registry.h"

namespace cli {

OffscreenPlatform::OffscreenPlatform() {
    // No display is needed: the screen is painted off-screen exactly as on a desktop.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

OffscreenPlanner::OffscreenPlanner(const platform::DataHome& home, const platform::Clock& clock,
                                   gui::Orientation orientation)
    : application_(argc_, argv_),
      planner_(home, platform::registry::Registry::Open(home.RegistryPath()), clock),
      screen_(orientation, 1) {}

platform::Result<void> OffscreenPlanner::Start(std::ostream& err) {
    if (planner_.registry.DamageNotice()) {
        err << "tessarinth-cli: " << *planner_.registry.DamageNotice() << "\n";
    }
    if (auto folders = planner_.home.EnsureFolders(); !folders) {
        return folders.error();
    }
    if (auto store = planner_.store.LoggedOnApplication(); !store) {
        return store.error();
    }
    main_ = app::StartPlanner(screen_, planner_);
    return {};
}

void OffscreenPlanner::Settle() {
    screen_.ProcessPending();
    screen_.PaintPending();
}

void OffscreenPlanner::ShutDown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    if (main_ != nullptr && screen_.IsAlive(main_)()) {
        main_->OnClose();
    }
    main_ = nullptr;
    screen_.ProcessPending();
    app::ShutDownPlanner(planner_);
}

}  // namespace cli
