#include "cli/screenshot_command.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/gui/colors.h"
#include "tests/cli/imported_home.h"

namespace cli {
namespace {

class ScreenshotCommandTest : public ImportedHome {
protected:
    int Shot(std::initializer_list<std::string> args) { return Run(ScreenshotCommand, args); }

    QImage Picture(const std::string& name) const {
        return QImage(QString::fromStdString((folder_.Path() / name).string()));
    }
    std::string Out(const std::string& name) const { return (folder_.Path() / name).string(); }
};

TEST_F(ScreenshotCommandTest, PaintsTheDeviceScreenPixelForPixelAndScaled) {
    ASSERT_EQ(Shot({"--date", "2026-12-07", "--today", "2026-12-08", Out("p1.png")}), 0)
        << err_.str();
    ASSERT_EQ(Shot({"--date", "2026-12-07", "--today", "2026-12-08", "--zoom", "3", Out("p3.png")}),
              0);
    ASSERT_EQ(Shot({"--date", "2026-12-07", "--landscape", Out("l1.png")}), 0);
    const QImage portrait = Picture("p1.png");
    const QImage zoomed = Picture("p3.png");
    ASSERT_EQ(portrait.size(), QSize(240, 320));
    ASSERT_EQ(zoomed.size(), QSize(720, 960));
    EXPECT_EQ(Picture("l1.png").size(), QSize(320, 240));

    // The main window from row 26: its grey edge, the month grid's top line, the day list.
    EXPECT_EQ(gui::FromQRgb(portrait.pixel(1, 26 + 100)), gui::kGray);
    EXPECT_EQ(gui::FromQRgb(portrait.pixel(130, 26 + 2)), gui::kBlack);
    EXPECT_EQ(gui::FromQRgb(portrait.pixel(120, 26 + 200)), gui::kWhite);
    // Inside the main window, zoom 3 is zoom 1 with every pixel made a 3 x 3 square.
    for (int y = 26; y < 294; y += 7) {
        for (int x = 0; x < 240; x += 5) {
            ASSERT_EQ(zoomed.pixel(3 * x + 1, 3 * y + 1), portrait.pixel(x, y)) << x << ", " << y;
        }
    }
}

TEST_F(ScreenshotCommandTest, WrongArgumentsAndAnUnreadableStoreAreSaid) {
    EXPECT_EQ(Shot({"--zoom", "0", Out("x.png")}), 2);
    EXPECT_EQ(Shot({"--date", "2026-02-30", Out("x.png")}), 2);
    EXPECT_EQ(Shot({"--landscape"}), 2);
    EXPECT_EQ(Shot({Out("no/such/folder/x.png")}), 1);
    EXPECT_NE(err_.str().find("cannot write"), std::string::npos);

    testing_support::WriteBytes(home_.StorePath(), std::string(4096, 'x'));
    EXPECT_EQ(Shot({Out("x.png")}), 1);
    EXPECT_NE(err_.str().find("schedule.sqlite"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace cli
