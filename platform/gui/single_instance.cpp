#include "platform/gui/single_instance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace gui {
namespace {

const QByteArray kComeForward = QByteArrayLiteral("come-forward\n");
constexpr int kConnectMilliseconds = 500;
constexpr int kRequestMilliseconds = 1000;

}  // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataHome) {
    // Named per user and per data home, so that two homes (a test's and the user's) each run.
    const QByteArray key = QByteArray::fromStdString(dataHome.lexically_normal().string());
    const QByteArray hash =
        QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    name_ = QStringLiteral("tessarinth-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AskRunningCopyToComeForward() {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectMilliseconds)) {
        return false;
    }
    socket.write(kComeForward);
    socket.waitForBytesWritten(kRequestMilliseconds);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen(std::function<void()> comeForward) {
    comeForward_ = std::move(comeForward);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(4);
    if (!server_->listen(name_)) {
        // A socket left behind by a copy that did not end cleanly: nobody answered on it.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            return false;
        }
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, this, [this] { ReadRequest(); });
    return true;
}

void SingleInstance::ReadRequest() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Only the one request is understood; anything else, or more, closes the socket.
            if (socket->bytesAvailable() > kComeForward.size()) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine()) {
                return;
            }
            const QByteArray line = socket->readLine(kComeForward.size() + 1);
            socket->disconnectFromServer();
            if (line == kComeForward && comeForward_) {
                comeForward_();
            }
        });
    }
}

}  // namespace gui
