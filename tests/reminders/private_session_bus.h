#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace reminders_test {

// A session bus of the test's own (dbus-daemon started with the session configuration), and
// optionally the recording notification service on it; both stopped when it goes.
class PrivateSessionBus {
public:
    static constexpr int kStartMilliseconds = 10000;

    PrivateSessionBus() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
        if (daemon_.waitForStarted(kStartMilliseconds) &&
            daemon_.waitForReadyRead(kStartMilliseconds)) {
            address_ = QString::fromLocal8Bit(daemon_.readLine().trimmed());
        }
    }
    ~PrivateSessionBus() {
        for (const QString& name : names_) {
            QDBusConnection::disconnectFromBus(name);
        }
        StopRecorder();
        daemon_.kill();
        daemon_.waitForFinished();
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool Running() const { return !address_.isEmpty(); }

    // A connection of its own to this bus: a name is one connection for the whole process, so
    // each bus gets names of its own, given up with it.
    QDBusConnection Connect(const QString& name) {
        const QString unique = name + QLatin1Char('@') + address_;
        names_ << unique;
        return QDBusConnection::connectToBus(address_, unique);
    }

    // Starts the recording service, which writes its calls to `log`; true once it answers.
    bool StartRecorder(const std::filesystem::path& log) {
        log_ = log;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        recorder_.setProcessEnvironment(environment);
        recorder_.start(QStringLiteral(TESSARINTH_NOTIFICATION_RECORDER),
                        {QString::fromStdString(log.string())});
        return recorder_.waitForStarted(kStartMilliseconds) &&
               recorder_.waitForReadyRead(kStartMilliseconds) &&
               recorder_.readLine().trimmed() == "ready";
    }
    void StopRecorder() {
        if (recorder_.state() != QProcess::NotRunning) {
            recorder_.kill();
            recorder_.waitForFinished();
        }
    }

    // The Notify calls recorded so far, one line each.
    std::vector<std::string> Notifications() const {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

private:
    QProcess daemon_;
    QProcess recorder_;
    QString address_;
    QStringList names_;
    std::filesystem::path log_;
};

}  // namespace reminders_test
