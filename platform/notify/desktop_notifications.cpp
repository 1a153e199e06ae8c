#include "platform/notify/desktop_notifications.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QStringList>
#include <QVariantMap>

namespace notify {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// The action a click on the notification body runs, as the protocol names it.
constexpr const char* kDefaultAction = "default";
// -1: the service decides how long the notification stays.
constexpr int kServiceTimeout = -1;
constexpr int kBitsPerChannel = 8;
constexpr int kChannelsWithAlpha = 4;

// The protocol's picture: width, height, row stride, alpha, bits per sample, channels, bytes.
struct ImageData {
    int width = 0;
    int height = 0;
    QByteArray rgba;
};

}  // namespace
}  // namespace notify

Q_DECLARE_METATYPE(notify::ImageData)

namespace notify {
namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const ImageData& image) {
    argument.beginStructure();
    argument << image.width << image.height << image.width * kChannelsWithAlpha << true
             << kBitsPerChannel << kChannelsWithAlpha << image.rgba;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ImageData& image) {
    int stride = 0;
    bool alpha = false;
    int bits = 0;
    int channels = 0;
    argument.beginStructure();
    argument >> image.width >> image.height >> stride >> alpha >> bits >> channels >> image.rgba;
    argument.endStructure();
    return argument;
}

QString ErrorText(const QDBusMessage& reply) {
    return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
}

}  // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QString applicationName)
    : bus_(std::move(bus)), applicationName_(std::move(applicationName)) {
    qDBusRegisterMetaType<ImageData>();
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
}

platform::Result<uint32_t> DesktopNotifications::Show(const Notification& notification) {
    if (!bus_.isConnected()) {
        return platform::Error{"no session bus: " + bus_.lastError().message().toStdString()};
    }
    QStringList actions;
    if (!notification.actionLabel.isEmpty() && OffersActions()) {
        actions << QString::fromLatin1(kDefaultAction) << notification.actionLabel;
    }
    QVariantMap hints;
    if (notification.picture.width > 0 && notification.picture.height > 0) {
        hints.insert(
            QStringLiteral("image-data"),
            QVariant::fromValue(ImageData{notification.picture.width, notification.picture.height,
                                          notification.picture.rgba}));
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << applicationName_ << uint32_t{0} << QString() << notification.title << notification.body
         << actions << hints << kServiceTimeout;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        offersActions_.reset();  // a service started later is asked again
        return platform::Error{"no notification service answered: " +
                               ErrorText(reply).toStdString()};
    }
    return reply.arguments().constFirst().toUInt();
}

bool DesktopNotifications::OffersActions() {
    if (offersActions_) {
        return *offersActions_;
    }
    if (!bus_.isConnected()) {
        return false;
    }
    const QDBusMessage reply =
        bus_.call(QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                 QStringLiteral("GetCapabilities")),
                  QDBus::Block, kCallTimeoutMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return false;
    }
    offersActions_ =
        reply.arguments().constFirst().toStringList().contains(QStringLiteral("actions"));
    return *offersActions_;
}

void DesktopNotifications::SetActionHandler(std::function<void(uint32_t)> handler) {
    actionHandler_ = std::move(handler);
}

void DesktopNotifications::OnActionInvoked(uint id, const QString& actionKey) {
    if (actionKey == QLatin1String(kDefaultAction) && actionHandler_) {
        actionHandler_(id);
    }
}

}  // namespace notify
