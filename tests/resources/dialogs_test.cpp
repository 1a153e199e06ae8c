#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <array>
#include <set>
#include <string>

#include "resources/dialogs.h"
#include "resources/images.h"

namespace resources {
namespace {

constexpr std::array kDialogIds{103, 104, 115};

// The System font at 8 points as the handheld's 96-dpi screen sets it.
constexpr int kSystemEightPixelSize = 11;

const DialogItem* FindItem(const DialogTemplate& dialog, uint16_t id) {
    for (const DialogItem& item : dialog.items) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

TEST(Dialogs, ItemsLieInsideTheirDialog) {
    for (int id : kDialogIds) {
        const DialogTemplate* dialog = FindDialog(id);
        ASSERT_NE(dialog, nullptr) << id;
        EXPECT_FALSE(dialog->caption.empty());
        EXPECT_EQ(dialog->fontFace, u"System");
        for (const DialogItem& item : dialog->items) {
            SCOPED_TRACE(QString::fromStdU16String(item.text).toStdString());
            EXPECT_GT(item.width, 0);
            EXPECT_GT(item.height, 0);
            EXPECT_GE(item.x, 0);
            EXPECT_GE(item.y, 0);
            EXPECT_LE(item.x + item.width, dialog->width) << "dialog " << id;
            EXPECT_LE(item.y + item.height, dialog->height) << "dialog " << id;
        }
    }
    EXPECT_EQ(FindDialog(102), nullptr);
}

TEST(Dialogs, ControlIdsAreUniqueAndOkEndsEveryDialog) {
    for (int id : kDialogIds) {
        SCOPED_TRACE(id);
        const DialogTemplate& dialog = *FindDialog(id);
        std::set<uint16_t> seen;
        int defaults = 0;
        for (const DialogItem& item : dialog.items) {
            if (item.id != kUnaddressedControl) {
                EXPECT_TRUE(seen.insert(item.id).second) << item.id;
            }
            defaults += item.kind == DialogItem::Kind::DefPushButton ? 1 : 0;
            if (item.kind == DialogItem::Kind::Icon) {
                EXPECT_FALSE(Icon(item.iconId).isNull()) << item.iconId;
            }
        }
        EXPECT_LE(defaults, 1);
        const DialogItem* ok = FindItem(dialog, 1);
        ASSERT_NE(ok, nullptr) << "the title bar's done button sends 1";
        EXPECT_NE(ok->kind, DialogItem::Kind::Static);
        if (const DialogItem* cancel = FindItem(dialog, 2)) {
            EXPECT_EQ(cancel->text, u"キャンセル");
        }
    }
}

TEST(Dialogs, EachColourButtonSitsJustLeftOfItsSwatch) {
    const DialogTemplate& settings = *FindDialog(115);
    const std::array<std::pair<uint16_t, uint16_t>, 6> pairs{
        {{1005, 1007}, {1006, 1008}, {1009, 1010}, {1012, 1011}, {1014, 1013}, {1017, 1016}}};
    for (const auto& [buttonId, swatchId] : pairs) {
        SCOPED_TRACE(buttonId);
        const DialogItem* button = FindItem(settings, buttonId);
        const DialogItem* swatch = FindItem(settings, swatchId);
        ASSERT_NE(button, nullptr);
        ASSERT_NE(swatch, nullptr);
        EXPECT_EQ(button->kind, DialogItem::Kind::PushButton);
        EXPECT_TRUE(swatch->border);
        const int gap = swatch->x - (button->x + button->width);
        EXPECT_GE(gap, 0);
        EXPECT_LE(gap, 4);
        EXPECT_LT(button->y, swatch->y + swatch->height);
        EXPECT_LT(swatch->y, button->y + button->height);
    }
}

TEST(Dialogs, AboutLinesFitTheirRectangles) {
    // A dialog unit across is a quarter of the font's average Latin letter.
    QFont font;
    font.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(kSystemEightPixelSize);
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double baseX = metrics.horizontalAdvance(alphabet) / 52.0;

    const DialogTemplate& about = *FindDialog(103);
    int lines = 0;
    for (const DialogItem& item : about.items) {
        if (item.kind != DialogItem::Kind::Static) {
            continue;
        }
        ++lines;
        const QString text = QString::fromStdU16String(item.text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_FALSE(text.isEmpty());
        EXPECT_LE(metrics.horizontalAdvance(text) * 4 / baseX, item.width);
        EXPECT_EQ(item.text.find(u'\n'), std::u16string::npos);
    }
    EXPECT_EQ(lines, 2);
    // The second line names the release, the same one --version and the package show.
    const DialogItem& release = about.items[2];
    EXPECT_EQ(release.y, 25);
    EXPECT_EQ(QString::fromStdU16String(release.text),
              QStringLiteral("リリース " TESSARINTH_PROJECT_VERSION));
}

}  // namespace
}  // namespace resources
