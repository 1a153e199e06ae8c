#include "views/view_font.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/gui/surface.h"

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

TEST(ViewFont, HalfWidthCharactersTakeHalfTheCellRoundedDown) {
    // The day list's 44-pixel date column holds the widest label exactly.
    settings::Settings settings;
    QImage image(100, 20, QImage::Format_RGB32);
    gui::Surface surface(image);
    for (const int height : {kListTextHeight, kSmallListTextHeight, kHourLabelHeight}) {
        surface.SelectFont(CreateViewFont(height, settings));
        EXPECT_EQ(surface.MeasureText(u"0").width, height / 2) << height;
        EXPECT_EQ(surface.MeasureText(u"月").width, height) << height;
    }
    surface.SelectFont(CreateViewFont(kListTextHeight, settings));
    EXPECT_EQ(surface.MeasureText(u"12/31月").width, 43);
}

}  // namespace
}  // namespace views
