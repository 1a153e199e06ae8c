// A notification service of the tests' own: it takes the name of the desktop's notification
// service on the bus of DBUS_SESSION_BUS_ADDRESS, appends each Notify call to the file named by
// its argument (one line: id, application, title, body, actions joined by '|', and whether a
// picture came, tab-separated), and prints "ready" once it answers. A call of the test's own,
// org.tessarinth.Test.InvokeAction(id), sends ActionInvoked(id, "default") as a click would.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";

class Recorder final : public QDBusVirtualObject {
public:
    explicit Recorder(QString logFile) : logFile_(std::move(logFile)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == QLatin1String("Notify")) {
            const QList<QVariant> arguments = message.arguments();
            const uint32_t id = ++lastId_;
            if (arguments.size() == 8) {
                const QVariantMap hints = qdbus_cast<QVariantMap>(arguments.at(6));
                Append(QString::number(id) + '\t' + arguments.at(0).toString() + '\t' +
                       arguments.at(3).toString() + '\t' + arguments.at(4).toString() + '\t' +
                       arguments.at(5).toStringList().join('|') + '\t' +
                       (hints.contains(QStringLiteral("image-data")) ? "picture" : "none"));
            }
            connection.send(message.createReply(QVariant::fromValue(id)));
            return true;
        }
        if (member == QLatin1String("GetCapabilities")) {
            connection.send(message.createReply(
                QStringList{QStringLiteral("actions"), QStringLiteral("body")}));
            return true;
        }
        if (member == QLatin1String("InvokeAction")) {
            QDBusMessage signal =
                QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ActionInvoked"));
            signal << message.arguments().value(0).toUInt() << QStringLiteral("default");
            connection.send(signal);
            connection.send(message.createReply());
            return true;
        }
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        return true;
    }

private:
    void Append(const QString& line) {
        QFile file(logFile_);
        if (file.open(QIODevice::Append | QIODevice::Text)) {
            file.write((line + '\n').toUtf8());
        }
    }

    QString logFile_;
    uint32_t lastId_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: notification_recorder LOG-FILE\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    Recorder recorder(QString::fromLocal8Bit(argv[1]));
    if (!bus.registerVirtualObject(kPath, &recorder) || !bus.registerService(kService)) {
        std::fprintf(stderr, "notification_recorder: cannot take the service's name\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
