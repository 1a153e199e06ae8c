#include <gtest/gtest.h>

#include <Qt>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "resources/accelerators.h"
#include "resources/menu_bars.h"
#include "resources/menus.h"
#include "resources/strings.h"

namespace resources {
namespace {

constexpr std::array kMenuBarIds{102, 111, 121};

// Every (text, command) pair the user can pick: menu-bar buttons by their string, and every
// command item of every menu.
std::vector<std::pair<std::u16string, uint16_t>> AllCommandTexts() {
    std::vector<std::pair<std::u16string, uint16_t>> pairs;
    for (int barId : kMenuBarIds) {
        for (const MenuBarButton& button : FindMenuBar(barId)->buttons) {
            if (!button.separator) {
                pairs.emplace_back(std::u16string(String(button.stringId)), button.command);
            }
        }
    }
    std::function<void(const std::vector<MenuItem>&)> walk =
        [&](const std::vector<MenuItem>& items) {
            for (const MenuItem& item : items) {
                if (!item.popup.empty()) {
                    walk(item.popup);
                } else if (!item.separator) {
                    pairs.emplace_back(item.text, item.command);
                }
            }
        };
    for (int menuId : {102, 111, 118, 121}) {
        walk(FindMenu(menuId)->popups);
    }
    return pairs;
}

TEST(MenuBars, DropDownButtonsFindTheirSubMenuAtTheirOwnPosition) {
    for (int barId : kMenuBarIds) {
        SCOPED_TRACE(barId);
        const MenuBar* bar = FindMenuBar(barId);
        ASSERT_NE(bar, nullptr);
        const Menu* menu = FindMenu(bar->menuId);
        ASSERT_NE(menu, nullptr) << "the shell loads the bar's menu even without drop-downs";
        for (size_t position = 0; position < bar->buttons.size(); ++position) {
            const MenuBarButton& button = bar->buttons[position];
            if (button.dropDown) {
                ASSERT_LT(position, menu->popups.size());
                const MenuItem& subMenu = menu->popups[position];
                EXPECT_FALSE(subMenu.popup.empty());
                EXPECT_EQ(subMenu.text, String(button.stringId));
            } else {
                EXPECT_GE(position, menu->popups.size()) << "a plain button has no sub-menu";
            }
        }
    }
}

TEST(MenuBars, KeepTheirButtonsInOrderWithSeparatorsAndKinds) {
    // D = drop-down, B = button, | = separator.
    const std::map<int, std::string> shapes{{102, "DDBBB"}, {111, "B|B|B|"}, {121, "B|B"}};
    for (const auto& [barId, shape] : shapes) {
        std::string actual;
        for (const MenuBarButton& button : FindMenuBar(barId)->buttons) {
            actual += button.separator ? '|' : (button.dropDown ? 'D' : 'B');
            if (button.separator) {
                EXPECT_EQ(button.command, 0);
                EXPECT_EQ(button.stringId, 0);
            } else {
                EXPECT_FALSE(String(button.stringId).empty()) << button.stringId;
            }
        }
        EXPECT_EQ(actual, shape) << barId;
    }
    EXPECT_EQ(FindMenuBar(118), nullptr);  // the context menu is a menu, not a bar
}

TEST(Menus, CommandsCarryTheIdsTheWindowsDispatchOn) {
    const std::map<std::u16string, uint16_t> expected{
        {u"新規", 40072},       {u"移動", 40007},
        {u"設定", 40053},       {u"？", 40076},
        {u"バージョン", 40003}, {u"予定", 40045},
        {u"仕事", 40073},       {u"前月", 40021},
        {u"先週", 40020},       {u"当日", 40012},
        {u"翌月", 40019},       {u"コピー", 40058},
        {u"切り取り", 40057},   {u"予定としてで貼付", 40081},
        {u"新規仕事", 40075},   {u"←", 40014},
        {u"削除", 40022}};
    std::map<std::u16string, uint16_t> commandOfText;
    std::map<uint16_t, std::u16string> textOfCommand;
    for (const auto& [text, command] : AllCommandTexts()) {
        ASSERT_FALSE(text.empty());
        ASSERT_NE(command, 0);
        // One text, one command, wherever it appears.
        const auto [textEntry, newText] = commandOfText.emplace(text, command);
        EXPECT_EQ(textEntry->second, command);
        const auto [commandEntry, newCommand] = textOfCommand.emplace(command, text);
        EXPECT_EQ(commandEntry->second, text) << command;
    }
    for (const auto& [text, command] : expected) {
        ASSERT_TRUE(commandOfText.contains(text));
        EXPECT_EQ(commandOfText.at(text), command);
    }
}

TEST(Menus, ContextMenuOffersEachCommandTheMainWindowGreysOnce) {
    const Menu* menu = FindMenu(118);
    ASSERT_NE(menu, nullptr);
    ASSERT_FALSE(menu->popups.empty());
    const std::vector<MenuItem>& items = menu->popups[0].popup;
    for (uint16_t command : {40074, 40075, 40081, 40057, 40058, 40059}) {
        int found = 0;
        for (const MenuItem& item : items) {
            found += item.command == command ? 1 : 0;
        }
        EXPECT_EQ(found, 1) << command;
    }
    ASSERT_FALSE(items.empty());
    EXPECT_FALSE(items.front().separator);
    EXPECT_FALSE(items.back().separator);
    EXPECT_EQ(FindMenu(103), nullptr);
}

TEST(Strings, TitleAndClassNameAndUnknownIds) {
    EXPECT_EQ(String(1), u"Tessarinth");
    std::u16string upper(String(1));
    for (char16_t& c : upper) {
        c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
    }
    EXPECT_EQ(String(3), upper);
    EXPECT_TRUE(String(2).empty());
    EXPECT_TRUE(String(0).empty());
    EXPECT_TRUE(String(-1).empty());
}

TEST(Accelerators, ControlKeysBecomeCommandsOnlyWithControlHeld) {
    EXPECT_EQ(FindAcceleratorTable(4), nullptr);
    const AcceleratorTable* table = FindAcceleratorTable(3);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(TranslateAccelerator(*table, true, Qt::Key_A), 40003);
    EXPECT_EQ(TranslateAccelerator(*table, true, Qt::Key_Q), 1);
    EXPECT_EQ(TranslateAccelerator(*table, false, Qt::Key_A), std::nullopt);
    EXPECT_EQ(TranslateAccelerator(*table, false, Qt::Key_Q), std::nullopt);
    EXPECT_EQ(TranslateAccelerator(*table, true, Qt::Key_B), std::nullopt);
}

}  // namespace
}  // namespace resources
