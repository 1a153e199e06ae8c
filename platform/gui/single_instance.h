#pragma once

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>

class QLocalServer;

namespace gui {

// One planner per data home: the first copy listens on a per-user local socket named after
// its data home; a second launch asks it to come forward and ends. The socket is the user's
// alone and accepts nothing but that one request.
class SingleInstance : public QObject {
public:
    explicit SingleInstance(const std::filesystem::path& dataHome);
    ~SingleInstance() override;

    // True when another copy answered and was asked to come forward: this one should end.
    bool AskRunningCopyToComeForward();
    // Starts listening; `comeForward` runs on the UI thread for each request.
    bool Listen(std::function<void()> comeForward);

    const QString& ServerName() const { return name_; }

private:
    void ReadRequest();

    QString name_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> comeForward_;
};

}  // namespace gui
