#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/main_window.h"
#include "app/planner.h"
#include "app/startup.h"
#include "store/schedule_store.h"
#include "tests/support/temp_folder.h"

namespace app {

inline platform::Date At(int y, int m, int d, int h = 0, int mi = 0) {
    return *platform::MakeDate(y, m, d, h, mi);
}

// Rows of the day list and cells of the grid as the pen finds them on the screen: the main
// window starts 26 pixels down.
inline gui::Point ItemRow(int row, int x = 100) {
    return {x, 26 + 76 + 16 * row + 8};
}
inline gui::Point GridCell(int row, int column) {
    return {127 + 16 * column + 8, 26 + 13 + 10 * row + 5};
}
inline gui::Point CornerEntry(int row) {
    return {60, 26 + 2 + 16 * row + 4};
}

// The planner started as the program starts it, on a fresh home whose store holds what
// `Stock` puts there, with the pen and the modal questions answered by a script; today is
// Monday 7 December 2026, 14:40.
class PlannerFixture : public ::testing::Test {
protected:
    void Start(const std::function<void(store::Application&)>& stock) {
        ASSERT_TRUE(home_.EnsureFolders().ok());
        store::Application store;
        ASSERT_TRUE(store.LogOn(home_.StorePath()).ok());
        stock(store);
        store.LogOff();
        screen_.UseManualTimers();
        screen_.SetModalResponder(&responder_);
        main_ = StartPlanner(screen_, planner_);
        screen_.ProcessPending();
    }
    void TearDown() override {
        if (main_ != nullptr) {
            ShutDownPlanner(planner_);
        }
    }

    void Tap(gui::Point point) {
        responder_.holds.push_back(false);
        Press(point);
    }
    // A hold that picks `chosen` from the context menu (0: the menu is dismissed).
    void Hold(gui::Point point, uint16_t chosen = 0) {
        responder_.holds.push_back(true);
        responder_.popupCommands.push_back(chosen);
        Press(point);
    }
    void Press(gui::Point point) {
        screen_.PenDown(point);
        screen_.ProcessPending();
        screen_.PenUp(point);
        screen_.ProcessPending();
        screen_.PaintPending();
    }
    const schedule::DayItemRow& Row(size_t index) const { return planner_.dayItems->table[index]; }
    store::Application& Reader() {
        if (!reader_.IsLoggedOn()) {
            EXPECT_TRUE(reader_.LogOn(home_.StorePath()).ok());
        }
        return reader_;
    }

    testing_support::TempFolder folder_;
    platform::DataHome home_{folder_.Path()};
    platform::FixedClock clock_{platform::CalendarFields{2026, 12, 1, 7, 14, 40, 0, 0}};
    Planner planner_{home_, platform::registry::Registry::Open(home_.RegistryPath()), clock_};
    gui::DeviceScreen screen_{gui::Orientation::Portrait, 1};
    gui::ScriptedResponder responder_;
    MainWindow* main_ = nullptr;
    store::Application reader_;
};

}  // namespace app
