#include "platform/gui/device_screen.h"

#include <gtest/gtest.h>

#include "tests/platform/gui/recording_window.h"

namespace gui {
namespace {

TEST_F(DeviceScreenTest, MenuBarButtonsAndDropDownsSendTheirCommands) {
    screen_.SetModalResponder(&responder_);
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Show();
    MenuBar* bar = screen_.CreateMenuBar(
        *window, {MenuBarButton{u"新規", 40072, true, false,
                                PopupMenu({{u"予定", 40045}, {u"仕事", 40073}})},
                  MenuBarButton{u"？", 40076, false, false, {}}});
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->SubMenu(40072), nullptr);
    EXPECT_EQ(bar->SubMenu(40076), nullptr);
    EXPECT_TRUE(bar->SubMenu(40072)->EnableItem(40073, false));
    EXPECT_FALSE(bar->SubMenu(40072)->IsEnabled(40073));

    responder_.popupCommands.push_back(40045);
    screen_.PenDown({5, 310});  // the drop-down starts at the left edge of the menu bar
    screen_.ProcessPending();
    ASSERT_EQ(responder_.popupsShown.size(), 1u);
    EXPECT_FALSE(responder_.popupsShown[0][1].enabled);
    EXPECT_EQ(window->commands, std::vector<uint16_t>{40045});
}

TEST_F(DeviceScreenTest, OkButtonSendsCommandOne) {
    auto* window = screen_.CreateTopLevel<RecordingWindow>();
    window->Show();
    screen_.PenDown({235, 10});
    screen_.ProcessPending();
    EXPECT_TRUE(window->commands.empty());
    screen_.ShowOkButton(*window);
    screen_.PenDown({235, 10});
    screen_.ProcessPending();
    EXPECT_EQ(window->commands, std::vector<uint16_t>{kOkCommand});
}

}  // namespace
}  // namespace gui
