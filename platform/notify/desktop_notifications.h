#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/result.h"

namespace notify {

// A picture shown with a notification: RGBA, 8 bits a channel, rows without padding.
struct NotificationPicture {
    int width = 0;
    int height = 0;
    QByteArray rgba;
};

// One notification as the user sees it.
struct Notification {
    QString title;
    QString body;
    NotificationPicture picture;  // none when empty
    // The label of the action a click on the notification runs, where the notification service
    // offers actions; empty for none.
    QString actionLabel;
};

// The desktop's notification service (org.freedesktop.Notifications) on a message bus. Calls
// are short and synchronous: a service that does not answer in time counts as none.
class DesktopNotifications : public QObject {
    Q_OBJECT

public:
    // How long a call waits for the service.
    static constexpr int kCallTimeoutMilliseconds = 2000;

    DesktopNotifications(QDBusConnection bus, QString applicationName);

    // Shows the notification; the service's id for it, or why no service showed it.
    platform::Result<uint32_t> Show(const Notification& notification);
    // Whether the service runs actions (asked once, the answer kept while it answers); false
    // when no service answers.
    bool OffersActions();
    // Runs on the thread of the bus connection when the user chooses the action of one of the
    // notifications shown through this object.
    void SetActionHandler(std::function<void(uint32_t id)> handler);

private slots:
    void OnActionInvoked(uint id, const QString& actionKey);

private:
    QDBusConnection bus_;
    QString applicationName_;
    std::optional<bool> offersActions_;
    std::function<void(uint32_t)> actionHandler_;
};

}  // namespace notify
