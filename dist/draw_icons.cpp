// Draws the planner's icon (101) as the PNG files of a desktop icon theme:
//   draw_icons OUT_DIR SIZE...
// writes OUT_DIR/<SIZE>x<SIZE>/apps/tessarinth.png for each size (16 or more).
//
// The icon is pixel art on a 16-pixel grid. Each size takes it enlarged by the largest whole
// number that fits, every pixel a square block, centred on a clear background: a size between
// two multiples (22, 24) gets the smaller picture with a clear margin rather than pixels of two
// different widths, and no size is smoothed into a blur.

#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <string>

#include "resources/images.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kLargestSide = 1024;

QImage IconAtSide(const QImage& icon, int side) {
    const int zoom = side / resources::kIconSize;
    const QImage enlarged =
        icon.scaled(icon.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QImage canvas(side, side, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const int margin = (side - enlarged.width()) / 2;
    painter.drawImage(margin, margin, enlarged);
    painter.end();
    return canvas;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: draw_icons OUT_DIR SIZE...\n");
        return 2;
    }
    const QImage icon = resources::Icon(resources::kProgramIcon);
    if (icon.isNull()) {
        std::fprintf(stderr, "draw_icons: the program icon has no picture\n");
        return 1;
    }
    const std::filesystem::path outDir = argv[1];
    for (int i = 2; i < argc; ++i) {
        bool isNumber = false;
        const int side = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || side < resources::kIconSize || side > kLargestSide) {
            std::fprintf(stderr, "draw_icons: %s is not a size from %d to %d pixels\n", argv[i],
                         resources::kIconSize, kLargestSide);
            return 2;
        }
        const std::string sizeName = std::to_string(side) + "x" + std::to_string(side);
        const std::filesystem::path dir = outDir / sizeName / "apps";
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        const std::filesystem::path file = dir / "tessarinth.png";
        if (error || !IconAtSide(icon, side).save(QString::fromStdString(file.string()), "PNG")) {
            std::fprintf(stderr, "draw_icons: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
