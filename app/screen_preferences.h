#pragma once

#include "platform/gui/device_screen.h"
#include "platform/registry/registry.h"

namespace app {

// How the device screen is shown on this desktop: its zoom, whether it is turned, whether its
// handwriting panel is on and whether the user wants the input panel up. Kept in the registry
// beside the planner's own settings (Software\Tessarinth\Screen), never among them.
struct ScreenPreferences {
    int zoom = 0;  // 0: not chosen yet, fit the desktop
    gui::Orientation orientation = gui::Orientation::Portrait;
    bool handwritingPanel = true;
    // Whether the user left the input panel up with its button, for the next editor.
    bool inputPanel = false;
};

ScreenPreferences LoadScreenPreferences(platform::registry::Registry& registry);
void SaveScreenPreferences(platform::registry::Registry& registry,
                           const ScreenPreferences& preferences);

// The largest zoom that keeps the whole screen comfortably inside the desktop's available
// height (at least 2, at most 4).
int DefaultZoom(int availableHeight);

}  // namespace app
