#include "app/screen_preferences.h"

#include <algorithm>

namespace app {
namespace {

using platform::registry::ReadStatus;
using platform::registry::Registry;

constexpr int kMinZoom = 2;
constexpr int kMaxZoom = 4;
// Room left for the desktop's own title bar and panels.
constexpr int kDesktopMargin = 120;

}  // namespace

ScreenPreferences LoadScreenPreferences(Registry& registry) {
    ScreenPreferences preferences;
    auto software = registry.OpenKey(Registry::CurrentUser(), u"Software");
    if (!software) {
        return preferences;
    }
    auto program = registry.OpenKey(*software, u"Tessarinth");
    if (program) {
        auto screen = registry.OpenKey(*program, u"Screen");
        if (screen) {
            uint32_t value = 0;
            if (registry.ReadNumber(*screen, u"Zoom", value) == ReadStatus::Ok && value >= 1 &&
                value <= 6) {
                preferences.zoom = static_cast<int>(value);
            }
            if (registry.ReadNumber(*screen, u"Landscape", value) == ReadStatus::Ok && value == 1) {
                preferences.orientation = gui::Orientation::Landscape;
            }
            if (registry.ReadNumber(*screen, u"HandwritingPanel", value) == ReadStatus::Ok &&
                value == 0) {
                preferences.handwritingPanel = false;
            }
            if (registry.ReadNumber(*screen, u"InputPanel", value) == ReadStatus::Ok &&
                value == 1) {
                preferences.inputPanel = true;
            }
            registry.CloseKey(*screen);
        }
        registry.CloseKey(*program);
    }
    registry.CloseKey(*software);
    return preferences;
}

void SaveScreenPreferences(Registry& registry, const ScreenPreferences& preferences) {
    auto software = registry.CreateKey(Registry::CurrentUser(), u"Software");
    if (!software) {
        return;
    }
    auto program = registry.CreateKey(software->key, u"Tessarinth");
    if (program) {
        auto screen = registry.CreateKey(program->key, u"Screen");
        if (screen) {
            (void)registry.WriteNumber(screen->key, u"Zoom",
                                       static_cast<uint32_t>(preferences.zoom));
            (void)registry.WriteNumber(
                screen->key, u"Landscape",
                preferences.orientation == gui::Orientation::Landscape ? 1u : 0u);
            (void)registry.WriteNumber(screen->key, u"HandwritingPanel",
                                       preferences.handwritingPanel ? 1u : 0u);
            (void)registry.WriteNumber(screen->key, u"InputPanel",
                                       preferences.inputPanel ? 1u : 0u);
            registry.CloseKey(screen->key);
        }
        registry.CloseKey(program->key);
    }
    registry.CloseKey(software->key);
}

int DefaultZoom(int availableHeight) {
    const int fits = (availableHeight - kDesktopMargin) / gui::kLongSide;
    return std::clamp(fits, kMinZoom, kMaxZoom);
}

}  // namespace app
