#include <QByteArray>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "caldav/caldav_collection.h"
#include "caldav/multistatus.h"

// Any answer a server sends is read into responses or refused with an error, never a crash or a
// hang; every href read keeps to the canonical form's promises: it is a path, spelled once
// (canonical twice is canonical once), and one that leaves the collection is told apart.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto parsed = caldav::ParseMultistatus(xml);
    if (!parsed) {
        return 0;
    }
    const QUrl base(QStringLiteral("http://127.0.0.1:5232/alice/calendar/"));
    const std::string own = caldav::CanonicalHref(base, "/alice/calendar/");
    for (const caldav::MultistatusEntry& entry : parsed->responses) {
        const std::string canonical = caldav::CanonicalHref(base, entry.href);
        if (!canonical.empty() && canonical.front() != '/') {
            std::abort();
        }
        if (caldav::CanonicalHref(base, canonical) != canonical) {
            std::abort();
        }
        if (!caldav::LeavesItsCollection(own, canonical) && !canonical.starts_with(own)) {
            std::abort();
        }
    }
    return 0;
}
