#include "platform/gui/single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>

namespace gui {
namespace {

// The request: "come-forward\n", or "come-forward YYYY-MM-DD\n" to show that day.
constexpr std::string_view kComeForwardWord = "come-forward";
constexpr qsizetype kDayLength = 10;
constexpr auto kLongestRequest =
    static_cast<qsizetype>(kComeForwardWord.size()) + 1 + kDayLength + 1;

QByteArray ComeForwardWord() {
    return QByteArray(kComeForwardWord.data(), static_cast<qsizetype>(kComeForwardWord.size()));
}
constexpr int kConnectMilliseconds = 500;
constexpr int kRequestMilliseconds = 1000;
// Between tries to reach a holder that is not listening yet.
constexpr unsigned long kRetryMilliseconds = 50;

// Where names are claimed: the user's runtime folder (Qt makes a per-user one of its own when
// the session names none), else the user's cache folder. Empty when neither can be had.
QString ClaimFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        return runtime;
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir().mkpath(cache)) {
        return {};
    }
    return cache;
}

// Whether the text has the shape of a day, "YYYY-MM-DD": the only argument a request carries.
bool IsDayShaped(const QByteArray& text) {
    if (text.size() != kDayLength) {
        return false;
    }
    for (qsizetype at = 0; at < kDayLength; ++at) {
        const bool dash = at == 4 || at == 7;
        if (dash ? text[at] != '-' : (text[at] < '0' || text[at] > '9')) {
            return false;
        }
    }
    return true;
}

QByteArray ComeForwardRequest(const std::string& day) {
    const QByteArray dayText = QByteArray::fromStdString(day);
    return ComeForwardWord() + (IsDayShaped(dayText) ? " " + dayText : QByteArray()) + "\n";
}

// The day a request names (empty for none), or nullopt for anything but the one request.
std::optional<std::string> RequestedDay(const QByteArray& line) {
    if (line == ComeForwardWord() + "\n") {
        return std::string();
    }
    const QByteArray prefix = ComeForwardWord() + " ";
    if (line.startsWith(prefix) && line.endsWith('\n')) {
        const QByteArray day = line.mid(prefix.size(), line.size() - prefix.size() - 1);
        if (IsDayShaped(day)) {
            return day.toStdString();
        }
    }
    return std::nullopt;
}

}  // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataHome,
                               std::chrono::milliseconds patience)
    : patience_(patience) {
    // Named per user and per data home, so that two homes (a test's and the user's) each run.
    const QByteArray key = QByteArray::fromStdString(dataHome.lexically_normal().string());
    const QByteArray hash =
        QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    name_ = QStringLiteral("tessarinth-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));

    const QString folder = ClaimFolder();
    if (folder.isEmpty()) {
        return;
    }
    // The kernel drops the lock when the process ends however it ends, so a crashed copy never
    // keeps the next one out. The file itself stays: removing it could let two copies each
    // lock a different file of the same name.
    const QByteArray path =
        QFile::encodeName(QDir(folder).filePath(name_ + QStringLiteral(".lock")));
    const int descriptor = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0) {
        return;
    }
    if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        claim_ = Claim::Held;
        claimDescriptor_ = descriptor;
        return;
    }
    claim_ = errno == EWOULDBLOCK ? Claim::HeldByAnotherCopy : Claim::Unavailable;
    close(descriptor);
}

SingleInstance::~SingleInstance() {
    // The socket goes while the name is still held, so that it can never take with it the
    // socket of a copy that claims the name next.
    server_.reset();
    if (claimDescriptor_ >= 0) {
        close(claimDescriptor_);
    }
}

bool SingleInstance::AskRunningCopyToComeForward(const std::string& day) {
    const QByteArray request = ComeForwardRequest(day);
    switch (claim_) {
        case Claim::Held:
            // Nobody else holds the name, so nobody else can be listening on it.
            return false;
        case Claim::HeldByAnotherCopy: {
            // The holder may still be starting; this copy ends whether or not it answers.
            const QDeadlineTimer deadline(patience_);
            while (!SendComeForward(request) && !deadline.hasExpired()) {
                QThread::msleep(kRetryMilliseconds);
            }
            return true;
        }
        case Claim::Unavailable:
            return SendComeForward(request);
    }
    return false;
}

bool SingleInstance::SendComeForward(const QByteArray& request) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectMilliseconds)) {
        return false;
    }
    socket.write(request);
    socket.waitForBytesWritten(kRequestMilliseconds);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen(std::function<void(const std::string& day)> comeForward) {
    if (claim_ == Claim::HeldByAnotherCopy) {
        return false;
    }
    comeForward_ = std::move(comeForward);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(4);
    if (!server_->listen(name_)) {
        // Only the holder knows that a socket under the name is one a crashed copy left;
        // without the claim it may be a live copy's, and is left alone.
        if (claim_ != Claim::Held) {
            server_.reset();
            return false;
        }
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            server_.reset();
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
            if (socket->bytesAvailable() > kLongestRequest) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine()) {
                return;
            }
            const QByteArray line = socket->readLine(kLongestRequest + 1);
            socket->disconnectFromServer();
            const std::optional<std::string> day = RequestedDay(line);
            if (day && comeForward_) {
                comeForward_(*day);
            }
        });
    }
}

}  // namespace gui
