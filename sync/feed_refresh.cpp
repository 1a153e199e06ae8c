#include "sync/feed_refresh.h"

#include <QString>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "calendar/ical_io.h"
#include "sync/sync_settings.h"

namespace calendar_sync {
namespace {

using platform::Error;

// How far into a feed its own name is looked for: it stands in the calendar's head, before the
// first item.
constexpr qsizetype kNameSearchOctets = 64 * 1024;
// The longest name a feed gives itself that is taken whole, in UTF-16 units.
constexpr qsizetype kLongestName = 100;
// The lines of what could not be read that a refresh names; the rest are counted.
constexpr size_t kNotesNamed = 5;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return lower;
}

// A TEXT value as it reads: "\," "\;" "\\" and "\n" undone.
std::string Unescaped(std::string_view value) {
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            text += next == 'n' || next == 'N' ? ' ' : next;
        } else {
            text += value[i];
        }
    }
    return text;
}

}  // namespace

platform::Result<std::string> FeedAddress(std::string_view given) {
    std::string address(given);
    const size_t colon = address.find(':');
    const std::string scheme =
        colon == std::string::npos ? std::string() : Lower(address.substr(0, colon));
    if (scheme == "webcal" || scheme == "webcals") {
        address = "https" + address.substr(colon);
    } else if (scheme != "http" && scheme != "https") {
        return Error{"a feed's address begins with http://, https:// or webcal://: " +
                     WithoutCredentials(given)};
    }
    const QUrl url(QString::fromStdString(address), QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return Error{"not a feed's address: " + WithoutCredentials(given)};
    }
    return url.toString(QUrl::FullyEncoded).toStdString();
}

caldav::DavAccount FeedAccount(std::chrono::milliseconds timeout) {
    return caldav::DavAccount{QString(), QString(), timeout, caldav::Redirects::Anywhere};
}

platform::Result<FeedCopy> FetchFeed(caldav::DavClient& client, const std::string& url,
                                     const store::FeedMark& mark) {
    caldav::DavHeaders headers{{"Accept", "text/calendar, */*;q=0.5"}};
    if (!mark.etag.empty()) {
        headers.append({"If-None-Match", QByteArray::fromStdString(mark.etag)});
    }
    if (!mark.lastModified.empty()) {
        headers.append({"If-Modified-Since", QByteArray::fromStdString(mark.lastModified)});
    }
    auto answer = client.Send("GET", QUrl::fromEncoded(QByteArray::fromStdString(url)), headers,
                              QByteArray());
    if (!answer) {
        return answer.error();
    }
    if (answer->tooLarge) {
        return Error{"the feed is larger than " + std::to_string(caldav::kMaxAnswerOctets >> 20) +
                     " MiB, far more than a calendar takes, and was not read"};
    }
    FeedCopy copy;
    copy.etag = answer->etag.toStdString();
    copy.lastModified = answer->lastModified.toStdString();
    if (answer->status == 304) {
        copy.unchanged = true;
        return copy;
    }
    if (answer->status == 404 || answer->status == 410) {
        return Error{"there is no feed at the address (" + caldav::DescribeStatus(*answer) + ")",
                     platform::Remedy::CheckAddress};
    }
    if (answer->status == 401 || answer->status == 403) {
        return Error{"the feed's server refused it (" + caldav::DescribeStatus(*answer) + ")",
                     platform::Remedy::CheckAddress};
    }
    if (answer->status != 200) {
        return Error{"the feed's server answered " + caldav::DescribeStatus(*answer)};
    }
    copy.text = std::move(answer->body);
    return copy;
}

platform::Result<FeedItems> ReadFeed(const QByteArray& text) {
    auto read = calendar::ParseICalendar(
        std::string_view(text.constData(), static_cast<size_t>(text.size())),
        calendar::ImportMode::TakeWhatCanBeTaken);
    if (!read) {
        return Error{"the feed holds no calendar that can be read (" + read.error().message + ")"};
    }
    const std::vector<std::string>& skipped = read->skipped;
    if (read->appointments.empty() && read->tasks.empty() && !skipped.empty()) {
        // Nothing of it can be read: a damaged copy, not a feed that was emptied.
        return Error{"none of the feed's items can be read (" + skipped.front() + ")"};
    }
    FeedItems items;
    items.appointments = std::move(read->appointments);
    items.tasks = std::move(read->tasks);
    for (size_t i = 0; i < skipped.size() && i < kNotesNamed; ++i) {
        items.notes.push_back("not read: " + skipped[i]);
    }
    if (skipped.size() > kNotesNamed) {
        items.notes.push_back("and " + std::to_string(skipped.size() - kNotesNamed) +
                              " more not read");
    }
    return items;
}

std::string FeedName(const QByteArray& text, const std::string& url) {
    const QByteArray head = text.left(kNameSearchOctets);
    std::string name;
    bool inName = false;
    for (QByteArray line : head.split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (inName && (line.startsWith(' ') || line.startsWith('\t'))) {
            name += line.mid(1).toStdString();  // a folded line goes on
            continue;
        }
        if (inName) {
            break;
        }
        const QByteArray upper = line.toUpper();
        if (upper.startsWith("BEGIN:") && upper != "BEGIN:VCALENDAR") {
            break;  // the items begin: the calendar's head has no name
        }
        if (upper.startsWith("X-WR-CALNAME")) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0) {
                name = line.mid(colon + 1).toStdString();
                inName = true;
            }
        }
    }
    name = Unescaped(name);
    const auto notSpace = [](unsigned char c) { return c > ' '; };
    name.erase(name.begin(), std::find_if(name.begin(), name.end(), notSpace));
    name.erase(std::find_if(name.rbegin(), name.rend(), notSpace).base(), name.end());
    if (!name.empty()) {
        // A name is a label: a feed that writes pages into it is cut to what a list shows.
        const QString whole = QString::fromStdString(name);
        return whole.size() > kLongestName ? whole.left(kLongestName).toStdString() : name;
    }
    const QUrl address(QString::fromStdString(url));
    QString file = address.fileName(QUrl::FullyDecoded);
    if (file.endsWith(QStringLiteral(".ics"), Qt::CaseInsensitive)) {
        file.chop(4);
    }
    return file.isEmpty() ? address.host().toStdString() : file.toStdString();
}

FeedRefreshed RefreshFeed(store::Application& store, caldav::DavClient& client,
                          const store::StoreCalendar& feed, int64_t nowSeconds) {
    FeedRefreshed refreshed;
    refreshed.name = feed.name;
    refreshed.url = feed.url;
    auto mark = store.FeedMarkOf(feed.id);
    if (!mark) {
        refreshed.failure = mark.error();
        return refreshed;
    }
    const auto failed = [&](platform::Error why) {
        store::FeedMark kept = *mark;
        kept.lastError = why.message;
        // The failure is told on its own; a store that cannot record it says so next time.
        (void)store.RecordFeedMark(feed.id, kept);
        refreshed.failure = std::move(why);
        return refreshed;
    };
    auto copy = FetchFeed(client, feed.url, *mark);
    if (!copy) {
        return failed(copy.error());
    }
    store::FeedMark fetched{copy->etag.empty() ? mark->etag : copy->etag,
                            copy->lastModified.empty() ? mark->lastModified : copy->lastModified,
                            nowSeconds, std::string()};
    if (copy->unchanged) {
        refreshed.unchanged = true;
        if (auto recorded = store.RecordFeedMark(feed.id, fetched); !recorded) {
            refreshed.failure = recorded.error();
        }
        return refreshed;
    }
    // A copy that came without its own marks asks unconditionally next time.
    fetched.etag = copy->etag;
    fetched.lastModified = copy->lastModified;
    auto items = ReadFeed(copy->text);
    if (!items) {
        return failed(items.error());
    }
    refreshed.notes = std::move(items->notes);
    auto replaced = store.ReplaceFeedItems(feed.id, std::move(items->appointments),
                                           std::move(items->tasks), fetched);
    if (!replaced) {
        return failed(replaced.error());
    }
    refreshed.replacement = std::move(replaced).value();
    refreshed.notes.insert(refreshed.notes.end(), refreshed.replacement.notes.begin(),
                           refreshed.replacement.notes.end());
    return refreshed;
}

}  // namespace calendar_sync
