#include "app/handwriting_panel_setup.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>

#include "app/screen_preferences.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_folder.h"

namespace app {
namespace {

// The model the planner reads, pointed elsewhere for one test.
class ModelVariable {
public:
    explicit ModelVariable(const char* path) {
        if (const char* old = std::getenv(kName)) {
            old_ = old;
        }
        setenv(kName, path, 1);
    }
    ~ModelVariable() {
        if (old_.empty()) {
            unsetenv(kName);
        } else {
            setenv(kName, old_.c_str(), 1);
        }
    }

private:
    static constexpr const char* kName = "TESSARINTH_HANDWRITING_MODEL";
    std::string old_;
};

TEST(HandwritingPanelSetUp, WithoutAModelTheScreenKeepsTheDesktopInputMethodAndSaysWhyOnce) {
    const ModelVariable missing("/nonexistent/handwriting-ja.model");
    gui::DeviceScreen screen(gui::Orientation::Portrait, 1);
    std::ostringstream err;
    SetUpHandwritingPanel(screen, true, err);
    EXPECT_FALSE(screen.HasHandwritingPanel());
    const std::string said = err.str();
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.find('\n'), said.size() - 1);  // one line
    EXPECT_NE(said.find("handwriting"), std::string::npos);
    screen.ShowInputPanel();
    EXPECT_FALSE(screen.IsHandwritingPanelShown());
}

// A model whose header claims more characters than its file holds once ended the planner at
// start (bad_alloc), and a FIFO in its place held it for ever: the planner starts without the
// panel and says why in one line, naming the cause.
TEST(HandwritingPanelSetUp, ADamagedModelOrAFifoLeavesThePanelOutAndSaysWhy) {
    const testing_support::TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path damaged = folder.Path() / "damaged.model";
    // The header of a 16-byte file (its size XOR zinnia's constant, version 1), claiming
    // 0xFFFFFFFF characters.
    std::string header = {'\x31', '\x18', '\xf7', '\x0e', 1,      0,
                          0,      0,      '\xff', '\xff', '\xff', '\xff'};
    header.append(4, '\xff');
    testing_support::WriteBytes(damaged, header);
    const std::filesystem::path fifo = folder.Path() / "fifo.model";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [model, cause] :
         {std::pair{damaged, "is damaged"}, std::pair{fifo, "not a regular file"}}) {
        const ModelVariable variable(model.c_str());
        gui::DeviceScreen screen(gui::Orientation::Portrait, 1);
        std::ostringstream err;
        SetUpHandwritingPanel(screen, true, err);
        EXPECT_FALSE(screen.HasHandwritingPanel());
        const std::string said = err.str();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        if (said.find("not built in") == std::string::npos) {
            EXPECT_NE(said.find(cause), std::string::npos) << said;
        }
    }
}

TEST(HandwritingPanelSetUp, WithTheModelThePanelIsThereAsTheUserLeftIt) {
    gui::DeviceScreen screen(gui::Orientation::Portrait, 1);
    std::ostringstream err;
    SetUpHandwritingPanel(screen, false, err);
    if (!screen.HasHandwritingPanel()) {
        GTEST_SKIP() << "no handwriting recogniser here: " << err.str();
    }
    EXPECT_TRUE(err.str().empty());
    EXPECT_FALSE(screen.IsHandwritingPanelOn());
    screen.ShowInputPanel();
    EXPECT_FALSE(screen.IsHandwritingPanelShown());
    screen.SetHandwritingPanelOn(true);
    EXPECT_TRUE(screen.IsHandwritingPanelShown());
}

TEST(ScreenPreferences, ThePanelTurnedOffIsRememberedBesideZoomAndOrientation) {
    const testing_support::TempFolder folder;
    const auto file = folder.Path() / "registry.dat";
    {
        auto registry = platform::registry::Registry::Open(file);
        EXPECT_TRUE(LoadScreenPreferences(registry).handwritingPanel);  // on unless turned off
        SaveScreenPreferences(registry, {3, gui::Orientation::Landscape, false});
    }
    auto registry = platform::registry::Registry::Open(file);
    const ScreenPreferences loaded = LoadScreenPreferences(registry);
    EXPECT_EQ(loaded.zoom, 3);
    EXPECT_EQ(loaded.orientation, gui::Orientation::Landscape);
    EXPECT_FALSE(loaded.handwritingPanel);
    SaveScreenPreferences(registry, {3, gui::Orientation::Landscape, true});
    EXPECT_TRUE(LoadScreenPreferences(registry).handwritingPanel);
}

TEST(ScreenPreferences, TheInputPanelAskedForIsRememberedAndIsDownUntilAsked) {
    const testing_support::TempFolder folder;
    const auto file = folder.Path() / "registry.dat";
    auto registry = platform::registry::Registry::Open(file);
    EXPECT_FALSE(LoadScreenPreferences(registry).inputPanel);
    SaveScreenPreferences(registry, {2, gui::Orientation::Portrait, true, true});
    const ScreenPreferences loaded = LoadScreenPreferences(registry);
    EXPECT_TRUE(loaded.inputPanel);
    EXPECT_TRUE(loaded.handwritingPanel);
    SaveScreenPreferences(registry, {2, gui::Orientation::Portrait, true, false});
    EXPECT_FALSE(LoadScreenPreferences(registry).inputPanel);
}

}  // namespace
}  // namespace app
