#pragma once

#include <QApplication>

#include <ostream>
#include <string>

#include "app/main_window.h"
#include "app/planner.h"
#include "platform/files/data_home.h"
#include "platform/gui/device_screen.h"
#include "platform/result.h"
#include "platform/time/date_time.h"

namespace cli {

// Gives the desktop's platform the off-screen one unless another was asked for, before any
// window system is touched.
struct OffscreenPlatform {
    OffscreenPlatform();
};

// The real planner on a data home, started off-screen as the program starts it (its settings,
// history lists, store and main window), at the device's own size, for the commands that paint
// or drive the screen. Make one per command; it brings its own application object.
class OffscreenPlanner : private OffscreenPlatform {
public:
    OffscreenPlanner(const platform::DataHome& home, const platform::Clock& clock,
                     gui::Orientation orientation);
    OffscreenPlanner(const OffscreenPlanner&) = delete;
    OffscreenPlanner& operator=(const OffscreenPlanner&) = delete;

    // Start-up from the store's opening to the main window. A settings file found damaged is
    // noted on `err`; a store that cannot be opened fails, since the planner would only paint
    // empty days. Whatever the screen should do from the start (manual timers, a responder) is
    // set on Screen() before this.
    platform::Result<void> Start(std::ostream& err);

    // Runs what the windows posted and paints what is invalid, as the message loop does before
    // it waits for the next input.
    void Settle();

    // The program's shutdown: a close request to the main window, what that posts run, and the
    // store let go. Nothing is left for the destructor but freeing memory.
    void ShutDown();

    gui::DeviceScreen& Screen() { return screen_; }
    app::Planner& Planner() { return planner_; }
    app::MainWindow& MainWindow() { return *main_; }

private:
    int argc_ = 1;
    char name_[16] = "tessarinth-cli";
    char* argv_[2] = {name_, nullptr};
    QApplication application_;
    app::Planner planner_;
    gui::DeviceScreen screen_;
    app::MainWindow* main_ = nullptr;
    bool shutDown_ = false;
};

}  // namespace cli
