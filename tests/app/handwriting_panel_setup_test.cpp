#include "app/handwriting_panel_setup.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/screen_preferences.h"
#include "platform/gui/input_panel.h"
#include "platform/registry/registry.h"
#include "resources/resource_ids.h"
#include "tests/app/planner_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/written_characters.h"

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
    // Nothing is read, so nothing is said, until the panel is asked for.
    EXPECT_TRUE(err.str().empty());
    screen.ShowInputPanel();
    EXPECT_FALSE(screen.IsHandwritingPanelShown());
    EXPECT_FALSE(screen.HasHandwritingPanel());
    const std::string said = err.str();
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.find('\n'), said.size() - 1);  // one line
    EXPECT_NE(said.find("handwriting"), std::string::npos);
    screen.HideInputPanel();
    screen.ShowInputPanel();
    EXPECT_EQ(err.str(), said);
}

// The choice the planner remembers with the zoom is the user's, model or none: turned off, the
// panel stays off when no model can be had.
TEST(HandwritingPanelSetUp, WithoutAModelThePanelTurnedOffStaysOff) {
    const ModelVariable missing("/nonexistent/handwriting-ja.model");
    gui::DeviceScreen screen(gui::Orientation::Portrait, 1);
    std::ostringstream err;
    SetUpHandwritingPanel(screen, false, err);
    EXPECT_FALSE(screen.IsHandwritingPanelOn());
    screen.ShowInputPanel();
    EXPECT_FALSE(screen.IsHandwritingPanelOn());
    EXPECT_TRUE(err.str().empty());  // off: nothing was read
}

// A model whose header claims more characters than its file holds once ended the planner at
// start (bad_alloc), and a FIFO in its place held it for ever: the panel asked for is left out
// and one line says why, naming the cause.
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
        EXPECT_TRUE(err.str().empty());
        screen.ShowInputPanel();
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
    EXPECT_TRUE(screen.HasHandwritingPanel());
    EXPECT_FALSE(screen.IsHandwritingPanelOn());
    // Turned off, the band shown is the desktop's: the models are not read for it.
    screen.ShowInputPanel();
    EXPECT_FALSE(screen.IsHandwritingPanelShown());
    EXPECT_EQ(screen.HandwritingPanel(), nullptr);
    screen.SetHandwritingPanelOn(true);
    if (!screen.HasHandwritingPanel()) {
        GTEST_SKIP() << "no handwriting recogniser here: " << err.str();
    }
    EXPECT_TRUE(err.str().empty());
    EXPECT_TRUE(screen.IsHandwritingPanelShown());
}

// The planner's own loading, counted.
struct CountedLoading {
    RecognizerLoading Loading() {
        return [this](const std::vector<handwriting::CharacterRecognizer::ModelFile>& models,
                      std::string& error) {
            ++loads;
            return LoadRecognizer(models, error);
        };
    }
    int loads = 0;
};

// The desktop's mouse at the device's own size: the menu bar's input panel button.
void TapInputPanelButton(gui::DeviceScreen& screen) {
    const gui::Point button{screen.Width() - 12, screen.Height() - 12};
    screen.PenDown(button);
    screen.PenUp(button);
    screen.ProcessPending();
}

using HandwritingPanelAtStart = PlannerFixture;

TEST_F(HandwritingPanelAtStart, NoModelIsReadUntilThePanelIsAskedFor) {
    CountedLoading counted;
    std::ostringstream err;
    SetUpHandwritingPanel(screen_, true, err, counted.Loading());
    Start([](store::Application&) {});
    screen_.PaintPending();
    EXPECT_EQ(counted.loads, 0);
    // An editor with text fields, the panel left down by the user: still nothing read.
    main_->SendCommand(resources::kCommandNewAppointment);
    screen_.ProcessPending();
    ASSERT_NE(screen_.ActiveWindow(), main_);
    EXPECT_FALSE(screen_.IsInputPanelShown());
    EXPECT_EQ(counted.loads, 0);
    EXPECT_TRUE(err.str().empty());

    TapInputPanelButton(screen_);
    EXPECT_TRUE(screen_.IsInputPanelShown());
    const int loads = counted.loads;
    EXPECT_GE(loads, 1);
    if (screen_.HasHandwritingPanel()) {
        EXPECT_TRUE(screen_.IsHandwritingPanelShown());
    }
    // Down and up again: what was read (or found missing) is not read again.
    TapInputPanelButton(screen_);
    TapInputPanelButton(screen_);
    EXPECT_EQ(counted.loads, loads);
}

TEST(HandwritingPanelSetUp, ThePanelMadeWhenFirstShownReadsWhatIsWritten) {
    gui::DeviceScreen screen(gui::Orientation::Portrait, 1);
    std::ostringstream err;
    SetUpHandwritingPanel(screen, true, err);
    screen.UseManualTimers();
    screen.ShowInputPanel();
    if (!screen.HasHandwritingPanel()) {
        GTEST_SKIP() << "no handwriting recogniser here: " << err.str();
    }
    ASSERT_TRUE(screen.IsHandwritingPanelShown());
    const gui::Rect band = screen.InputPanelRect();
    const testing_support::WrittenCharacter written = testing_support::WrittenCharacters().front();
    // In the first writing box, at the band's top-left corner, through the screen's pen.
    for (const handwriting::Stroke& stroke : written.strokes) {
        screen.PenDown({band.left + stroke.front().x, band.top + stroke.front().y});
        for (const handwriting::InkPoint& point : stroke) {
            screen.PenMove({band.left + point.x, band.top + point.y});
        }
        screen.PenUp({band.left + stroke.back().x, band.top + stroke.back().y});
    }
    const std::vector<std::u16string>& candidates = screen.HandwritingPanel()->Candidates();
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), written.character), candidates.end());
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
