#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace gui {

// One planner per data home. The first copy claims the data home's name with a lock it holds
// for its whole run, then listens on a per-user local socket of that name; a copy that finds
// the name claimed asks the holder to come forward, on a day when it was started for one, and
// ends. Only the holder ever replaces a socket, so two copies started together cannot remove
// each other's. The socket is the user's alone and accepts nothing but that one request.
class SingleInstance : public QObject {
public:
    // How long a copy that finds the name claimed keeps trying to reach the holder, which may
    // still be opening its store and not yet listening.
    static constexpr std::chrono::milliseconds kDefaultPatience{5000};

    // Claims the name at once, before the caller does anything else with the data home.
    explicit SingleInstance(const std::filesystem::path& dataHome,
                            std::chrono::milliseconds patience = kDefaultPatience);
    ~SingleInstance() override;

    // True when this copy should end: another copy holds the name (it was asked to come
    // forward, if it answered within the patience) or, where no claim could be made at all,
    // another copy answered on the socket. `day` ("YYYY-MM-DD", or empty for none) is the day
    // the holder is asked to show; one of another shape is not sent.
    bool AskRunningCopyToComeForward(const std::string& day = {});
    // Starts listening; `comeForward` runs on the UI thread for each request, with the day it
    // names (empty for none). False, with nothing touched, in a copy that another copy's claim
    // keeps out, or that could make no claim and finds the socket taken.
    bool Listen(std::function<void(const std::string& day)> comeForward);

    const QString& ServerName() const { return name_; }

private:
    enum class Claim { Held, HeldByAnotherCopy, Unavailable };

    bool SendComeForward(const QByteArray& request);
    void ReadRequest();

    QString name_;
    std::chrono::milliseconds patience_;
    Claim claim_ = Claim::Unavailable;
    // Open, and locked, for as long as this copy holds the name.
    int claimDescriptor_ = -1;
    std::unique_ptr<QLocalServer> server_;
    std::function<void(const std::string& day)> comeForward_;
};

}  // namespace gui
