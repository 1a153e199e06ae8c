#include "sync/sync_settings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "platform/files/file_operations.h"

namespace calendar_sync {
namespace {

using platform::Error;

constexpr const char* kFileName = "sync.json";
// Two addresses, a user name and a few numbers take far less.
constexpr size_t kMaxSettingsBytes = 64 * 1024;

}  // namespace

std::filesystem::path SyncSettingsPath(const platform::DataHome& home) {
    return home.RegistryPath().parent_path() / kFileName;
}

platform::Result<std::optional<SyncSettings>> LoadSyncSettings(const platform::DataHome& home) {
    const std::filesystem::path path = SyncSettingsPath(home);
    if (!platform::FileExists(path)) {
        return std::optional<SyncSettings>();
    }
    auto text = platform::ReadWholeFile(path, kMaxSettingsBytes);
    if (!text) {
        return text.error();
    }
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(*text), &parseError);
    if (!document.isObject()) {
        return Error{"cannot read " + path.string() + ": " +
                     parseError.errorString().toStdString() + "; set sync up again"};
    }
    const QJsonObject object = document.object();
    SyncSettings settings;
    settings.eventsUrl = object["events"].toString().toStdString();
    settings.tasksUrl = object["tasks"].toString().toStdString();
    settings.user = object["user"].toString().toStdString();
    settings.timeoutSeconds = object["timeout"].toInt(settings.timeoutSeconds);
    settings.passwordKeptIn = object["password"].toString().toStdString();
    if (auto bad = CheckCollectionUrl(settings.eventsUrl)) {
        return Error{"cannot use " + path.string() + ": " + *bad + "; set sync up again"};
    }
    if (settings.timeoutSeconds < kShortestSyncTimeout ||
        settings.timeoutSeconds > kLongestSyncTimeout) {
        return Error{"cannot use " + path.string() + ": the timeout must be " +
                     std::to_string(kShortestSyncTimeout) + " to " +
                     std::to_string(kLongestSyncTimeout) + " seconds"};
    }
    return std::optional<SyncSettings>(settings);
}

platform::Result<void> SaveSyncSettings(const platform::DataHome& home,
                                        const SyncSettings& settings) {
    QJsonObject object;
    object["events"] = QString::fromStdString(settings.eventsUrl);
    if (!settings.tasksUrl.empty()) {
        object["tasks"] = QString::fromStdString(settings.tasksUrl);
    }
    object["user"] = QString::fromStdString(settings.user);
    object["timeout"] = settings.timeoutSeconds;
    object["password"] = QString::fromStdString(settings.passwordKeptIn);
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    return platform::ReplaceFileAtomically(SyncSettingsPath(home), text.toStdString());
}

std::optional<std::string> CheckCollectionUrl(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    if (url.empty() || !parsed.isValid()) {
        return "not a URL: " + url;
    }
    if (parsed.scheme() != "http" && parsed.scheme() != "https") {
        return "not an http or https URL: " + url;
    }
    if (parsed.host().isEmpty()) {
        return "a URL without a server: " + url;
    }
    if (!parsed.userInfo().isEmpty()) {
        return "the user name goes with --user, not in the URL: " + url;
    }
    return std::nullopt;
}

}  // namespace calendar_sync
