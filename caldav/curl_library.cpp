#include "caldav/curl_library.h"

#include <QLibrary>

namespace caldav {
namespace {

// Debian's libcurl4 (OpenSSL) and libcurl3-gnutls both give this soname's ABI.
constexpr int kCurlSoVersion = 4;

template <typename Function>
bool Resolve(QLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

platform::Result<CurlLibrary> Load() {
    QLibrary library(QStringLiteral("curl"), kCurlSoVersion);
    if (!library.load()) {
        return platform::Error{"the network library (libcurl " + std::to_string(kCurlSoVersion) +
                               ") could not be loaded: " + library.errorString().toStdString()};
    }
    CurlLibrary curl{};
    const bool found = Resolve(library, "curl_easy_init", curl.easyInit) &&
                       Resolve(library, "curl_easy_cleanup", curl.easyCleanup) &&
                       Resolve(library, "curl_easy_reset", curl.easyReset) &&
                       Resolve(library, "curl_easy_setopt", curl.easySetopt) &&
                       Resolve(library, "curl_easy_perform", curl.easyPerform) &&
                       Resolve(library, "curl_easy_strerror", curl.easyStrerror) &&
                       Resolve(library, "curl_slist_append", curl.slistAppend) &&
                       Resolve(library, "curl_slist_free_all", curl.slistFreeAll);
    if (!found) {
        return platform::Error{"the network library lacks a function: " +
                               library.errorString().toStdString()};
    }
    // Stays loaded for the rest of the process: the QLibrary object does not unload it.
    return curl;
}

}  // namespace

platform::Result<const CurlLibrary*> Curl() {
    // Loaded once, from whichever thread syncs first (a function-local static is thread-safe).
    static const platform::Result<CurlLibrary> loaded = Load();
    if (!loaded) {
        return loaded.error();
    }
    return &*loaded;
}

}  // namespace caldav
