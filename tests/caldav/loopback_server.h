// A CalDAV server of a test's own on loopback, answering from a thread of its own what the test
// writes for each request.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <utility>

#include "caldav/dav_client.h"

namespace caldav {
namespace {

class CoreApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override { application_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "caldav-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> application_;
};

[[maybe_unused]] const ::testing::Environment* const kCoreEnvironment =
    ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment);

struct Request {
    QByteArray method;
    QByteArray path;
    QByteArray body;
    QByteArray depth;  // the Depth header's value; empty without one
    QByteArray head;   // the request line and headers as they came
};

// Answers each request with what `answer` writes to the socket, from a thread of its own (the
// client waits for its answers without running an event loop).
class LoopbackServer {
public:
    using Answer = std::function<void(const Request&, QTcpSocket&)>;

    explicit LoopbackServer(Answer answer) : answer_(std::move(answer)) {
        std::promise<quint16> listening;
        std::future<quint16> port = listening.get_future();
        thread_ = std::thread([this, &listening] { Serve(listening); });
        port_ = port.get();
    }
    ~LoopbackServer() {
        QMetaObject::invokeMethod(loop_, "quit", Qt::QueuedConnection);
        thread_.join();
    }

    QUrl Url(const char* path) const {
        return QUrl(QString("http://127.0.0.1:%1%2").arg(port_).arg(path));
    }

private:
    void Serve(std::promise<quint16>& listening) {
        QEventLoop loop;
        QTcpServer server;
        loop_ = &loop;
        QObject::connect(&server, &QTcpServer::newConnection, [this, &server] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    *buffer += socket->readAll();
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0) {
                        return;
                    }
                    const QByteArray head = buffer->left(end);
                    qsizetype length = 0;
                    QByteArray depth;
                    for (const QByteArray& line : head.split('\n')) {
                        if (line.toLower().startsWith("content-length:")) {
                            length = line.mid(15).trimmed().toLongLong();
                        } else if (line.toLower().startsWith("depth:")) {
                            depth = line.mid(6).trimmed();
                        }
                    }
                    if (buffer->size() < end + 4 + length) {
                        return;
                    }
                    const QList<QByteArray> words = head.split(' ');
                    Request request{words.value(0), words.value(1), buffer->mid(end + 4, length),
                                    depth, head};
                    buffer->remove(0, end + 4 + length);
                    answer_(request, *socket);
                });
            }
        });
        server.listen(QHostAddress::LocalHost);
        listening.set_value(server.serverPort());
        loop.exec();
    }

    Answer answer_;
    std::thread thread_;
    QEventLoop* loop_ = nullptr;
    quint16 port_ = 0;
};

[[maybe_unused]] void Write(QTcpSocket& socket, int status, const QByteArray& body) {
    socket.write("HTTP/1.1 " + QByteArray::number(status) +
                 " Answer\r\nContent-Type: application/xml\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

[[maybe_unused]] DavAccount Account() {
    return DavAccount{"alice", "secret", std::chrono::seconds(10)};
}

}  // namespace
}  // namespace caldav
