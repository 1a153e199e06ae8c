#include "sync/sync_password.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>

#include "platform/files/file_operations.h"

#ifdef TESSARINTH_HAVE_KEYCHAIN
#include <qt6keychain/keychain.h>
#endif

namespace calendar_sync {
namespace {

using platform::Error;

constexpr const char* kService = "tessarinth";
// A secret service that is there answers at once; one that is starting may take a moment.
constexpr std::chrono::seconds kSecretServiceWait{10};

#ifdef TESSARINTH_HAVE_KEYCHAIN
// Runs a keychain job to its end; false when it failed or took too long.
bool RunJob(QKeychain::Job& job) {
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(kSecretServiceWait, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    job.start();
    if (!finished) {
        loop.exec();
    }
    return finished && job.error() == QKeychain::NoError;
}

// Without a session bus no secret service can answer; asking would only wait.
bool SessionBusThere() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address != nullptr && *address != '\0';
}
#endif

}  // namespace

PasswordStore::PasswordStore(std::string key, std::filesystem::path file)
    : key_(std::move(key)), file_(std::move(file)) {}

platform::Result<PasswordStore::Place> PasswordStore::Save(const std::string& password) {
    if (password.size() > kMaxPasswordBytes) {
        return Error{"the password is longer than " + std::to_string(kMaxPasswordBytes) + " bytes"};
    }
#ifdef TESSARINTH_HAVE_KEYCHAIN
    if (SessionBusThere()) {
        QKeychain::WritePasswordJob job(kService);
        job.setInsecureFallback(false);
        job.setKey(QString::fromStdString(key_));
        job.setTextData(QString::fromStdString(password));
        if (RunJob(job)) {
            // A password kept in the file before must not outlive the change.
            if (platform::FileExists(file_)) {
                (void)platform::DeleteFile(file_);
            }
            return Place::SecretService;
        }
    }
#endif
    if (auto written = platform::ReplaceFileAtomically(file_, password); !written) {
        return written.error();
    }
    return Place::File;
}

platform::Result<std::string> PasswordStore::Load(Place place) {
    if (place == Place::File) {
        auto text = platform::ReadWholeFile(file_, kMaxPasswordBytes);
        if (!text) {
            return Error{"cannot read the sync password: " + text.error().message +
                         "; set sync up again"};
        }
        return *text;
    }
#ifdef TESSARINTH_HAVE_KEYCHAIN
    QKeychain::ReadPasswordJob job(kService);
    job.setInsecureFallback(false);
    job.setKey(QString::fromStdString(key_));
    if (RunJob(job)) {
        return job.textData().toStdString();
    }
    return Error{"the desktop's secret service did not give the sync password (" +
                 job.errorString().toStdString() + ")"};
#else
    return Error{"this build cannot reach a secret service; set sync up again"};
#endif
}

}  // namespace calendar_sync
