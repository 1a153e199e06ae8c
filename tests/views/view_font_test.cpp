#include "views/view_font.h"

#include <gtest/gtest.h>

namespace views {
namespace {

TEST(ViewFont, ClearTypeOnlyWhenTheSettingIsOne) {
    settings::Settings settings;
    EXPECT_FALSE(CreateViewFont(13, settings).IsClearType());
    settings.ClearType = 1;
    EXPECT_TRUE(CreateViewFont(13, settings).IsClearType());
    settings.ClearType = 2;
    EXPECT_FALSE(CreateViewFont(13, settings).IsClearType());
}

TEST(ViewFont, TheGothicFaceAtTheAskedHeight) {
    settings::Settings settings;
    const gui::Font font = CreateViewFont(kListTextHeight, settings);
    EXPECT_EQ(font.CellHeight(), kListTextHeight);
    EXPECT_EQ(font.Family(), QStringLiteral("IPAGothic"));
}

TEST(ViewFont, SmallSettingShrinksOnlyTheListText) {
    settings::Settings settings;
    EXPECT_EQ(ListTextHeight(settings), 13);
    settings.Small = 1;
    EXPECT_EQ(ListTextHeight(settings), 12);
    settings.Small = -1;
    EXPECT_EQ(ListTextHeight(settings), 13);
}

}  // namespace
}  // namespace views
