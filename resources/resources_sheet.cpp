// Writes a contact sheet of the program's icons and dial bitmaps, enlarged with nearest-neighbour
// scaling, so they can be judged as the zoomed screen will show them.
//   resources_sheet [output.png] [zoom]

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <array>
#include <cstdio>

#include "resources/dial.h"
#include "resources/images.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kDefaultZoom = 4;
constexpr int kGap = 8;
constexpr std::array kIconIds{resources::kProgramIcon,    resources::kReminderIcon,
                              resources::kRecurrenceIcon, resources::kMemoIcon,
                              resources::kAllDayIcon,     resources::kHolidayIcon};
constexpr std::array kBitmapIds{resources::kDayFaceBitmap, resources::kNightFaceBitmap,
                                resources::kHitMapBitmap};

QImage Enlarge(const QImage& image, int zoom) {
    return image.scaled(image.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/resources_sheet.png");
    const int zoom = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : kDefaultZoom;
    if (zoom < 1) {
        std::fprintf(stderr, "zoom must be a whole number of at least 1\n");
        return 1;
    }

    const int iconSide = resources::kIconSize * zoom;
    const int bitmapSide = resources::kDialSize * zoom;
    const int width = kGap + static_cast<int>(kBitmapIds.size()) * (bitmapSide + kGap);
    const int height = kGap + 2 * (iconSide + kGap) + bitmapSide + kGap;
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(160, 160, 160));  // the main window's grey, to show the icons' edges

    QPainter painter(&sheet);
    int x = kGap;
    for (int id : kIconIds) {
        // Each icon twice: on the window grey and on white, where the editors show them.
        painter.drawImage(x, kGap, Enlarge(resources::Icon(id), zoom));
        painter.fillRect(x, 2 * kGap + iconSide, iconSide, iconSide, Qt::white);
        painter.drawImage(x, 2 * kGap + iconSide, Enlarge(resources::Icon(id), zoom));
        x += iconSide + kGap;
    }
    x = kGap;
    const int bitmapTop = 3 * kGap + 2 * iconSide;
    for (int id : kBitmapIds) {
        painter.drawImage(x, bitmapTop, Enlarge(resources::Bitmap(id), zoom));
        x += bitmapSide + kGap;
    }
    painter.end();

    if (!sheet.save(output)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(output));
    return 0;
}
