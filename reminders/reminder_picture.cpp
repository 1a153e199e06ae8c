#include "reminders/reminder_picture.h"

#include <QImage>

#include "resources/images.h"
#include "resources/resource_ids.h"

namespace reminders {
namespace {

constexpr qsizetype kBytesPerPixel = 4;  // red, green, blue, alpha

}  // namespace

notify::NotificationPicture ProgramPicture() {
    const QImage icon =
        resources::Icon(resources::kProgramIcon).convertToFormat(QImage::Format_RGBA8888);
    notify::NotificationPicture picture;
    if (icon.isNull()) {
        return picture;
    }
    picture.width = icon.width();
    picture.height = icon.height();
    // Rows without padding, as the notification protocol lays them out.
    for (int row = 0; row < icon.height(); ++row) {
        picture.rgba.append(reinterpret_cast<const char*>(icon.constScanLine(row)),
                            static_cast<qsizetype>(icon.width()) * kBytesPerPixel);
    }
    return picture;
}

}  // namespace reminders
