#include "sync/sync_settings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <algorithm>

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
    settings.serverUrl = object["server"].toString().toStdString();
    settings.eventsUrl = object["events"].toString().toStdString();
    settings.tasksUrl = object["tasks"].toString().toStdString();
    settings.user = object["user"].toString().toStdString();
    settings.timeoutSeconds = object["timeout"].toInt(settings.timeoutSeconds);
    settings.passwordKeptIn = object["password"].toString().toStdString();
    for (const std::string* url : {&settings.eventsUrl, &settings.tasksUrl}) {
        if (url->empty() && url == &settings.tasksUrl) {
            continue;
        }
        if (auto bad = CheckCollectionUrl(*url)) {
            return Error{"cannot use " + path.string() + ": " + *bad + "; set sync up again"};
        }
    }
    if (auto bad = CheckUserName(settings.user)) {
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
    if (!settings.serverUrl.empty()) {
        object["server"] = QString::fromStdString(settings.serverUrl);
    }
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

SyncedCalendars ChooseSyncedCalendars(const std::vector<caldav::FoundCalendar>& found) {
    SyncedCalendars chosen;
    for (const caldav::FoundCalendar& calendar : found) {
        if (calendar.readOnly) {
            continue;
        }
        if (chosen.events == nullptr && calendar.events) {
            chosen.events = &calendar;
        }
        if (chosen.tasks == nullptr && calendar.tasks && !calendar.events) {
            chosen.tasks = &calendar;
        }
    }
    if (chosen.tasks == nullptr && chosen.events != nullptr && chosen.events->tasks) {
        chosen.tasks = chosen.events;
    }
    return chosen;
}

std::optional<std::string> CheckCollectionUrl(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    const std::string shown = WithoutCredentials(url);
    if (url.empty() || !parsed.isValid()) {
        return "not a URL: " + shown;
    }
    if (parsed.scheme() != "http" && parsed.scheme() != "https") {
        return "not an http or https URL: " + shown;
    }
    if (parsed.host().isEmpty()) {
        return "a URL without a server: " + shown;
    }
    if (!parsed.userInfo().isEmpty()) {
        return "the user name goes with --user and the password with --password-stdin or the "
               "prompt, not in the URL: " +
               shown;
    }
    return std::nullopt;
}

std::optional<std::string> CheckUserName(const std::string& user) {
    if (user.empty()) {
        return std::string("the user name is empty");
    }
    if (user.find(':') != std::string::npos) {
        return std::string("a user name cannot hold ':' (Basic authentication ends it there)");
    }
    const bool control = std::any_of(user.begin(), user.end(), [](char c) {
        const auto unit = static_cast<unsigned char>(c);
        return unit < 0x20 || unit == 0x7F;
    });
    if (control) {
        return std::string("a user name cannot hold a control character (a line break, a tab)");
    }
    return std::nullopt;
}

std::string WithoutCredentials(std::string_view url) {
    // The server part runs from after "scheme://" (or the start) to the path, query or fragment.
    const size_t scheme = url.find("://");
    const size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
    const size_t end = std::min(url.find_first_of("/?#", start), url.size());
    const size_t at = url.substr(start, end - start).rfind('@');
    if (at == std::string_view::npos) {
        return std::string(url);
    }
    return std::string(url.substr(0, start)) + "***" + std::string(url.substr(start + at));
}

}  // namespace calendar_sync
