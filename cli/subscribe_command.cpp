#include "cli/subscribe_command.h"

#include <chrono>

#include "cli/command_support.h"
#include "cli/terminal_text.h"
#include "sync/feed_subscriptions.h"
#include "sync/sync_settings.h"

namespace cli {
namespace {

// How long a fetch may take when no server is set up to say (as a sync's default timeout).
constexpr std::chrono::seconds kDefaultFeedTimeout{30};

// The timeout the sync set up uses, else the default.
std::chrono::milliseconds FeedTimeout(const platform::DataHome& home) {
    auto settings = calendar_sync::LoadSyncSettings(home);
    if (settings && settings->has_value()) {
        return std::chrono::seconds((*settings)->timeoutSeconds);
    }
    return kDefaultFeedTimeout;
}

std::string Counts(const store::FeedReplacement& replacement) {
    return std::to_string(replacement.added) + " added, " + std::to_string(replacement.updated) +
           " changed, " + std::to_string(replacement.removed) + " removed";
}

}  // namespace

void PrintFeedRefreshed(const calendar_sync::FeedRefreshed& refreshed, std::ostream& out) {
    out << "feed " << Escaped(refreshed.name) << " "
        << Escaped(calendar_sync::WithoutCredentials(refreshed.url)) << ": ";
    if (refreshed.failure) {
        out << "not refreshed, its last copy is kept: " << Escaped(refreshed.failure->message)
            << "\n";
    } else if (refreshed.unchanged) {
        out << "unchanged\n";
    } else {
        out << Counts(refreshed.replacement) << "\n";
    }
    for (const std::string& note : refreshed.notes) {
        out << "note: " << Escaped(note) << "\n";
    }
}

int SubscribeCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                     std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "subscribe";
    std::string given;
    std::string name;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--name" && i + 1 < args.size()) {
            name = args[++i];
            if (name.empty()) {
                return Fail(err, kCommand, kUsageStatus, "--name needs a name");
            }
        } else if (given.empty() && !args[i].starts_with("--")) {
            given = args[i];
        } else {
            return Fail(err, kCommand, kUsageStatus,
                        "expected: subscribe URL [--name NAME], not " +
                            calendar_sync::WithoutCredentials(args[i]));
        }
    }
    if (given.empty()) {
        return Fail(err, kCommand, kUsageStatus, "expected: subscribe URL [--name NAME]");
    }
    auto address = calendar_sync::FeedAddress(given);
    if (!address) {
        return Fail(err, kCommand, kUsageStatus, address.error().message);
    }
    auto subscribed = calendar_sync::SubscribeFeed(home, *address, name, {FeedTimeout(home), {}});
    if (!subscribed) {
        return Fail(err, kCommand, kFailureStatus,
                    calendar_sync::WithoutCredentials(*address) + ": " +
                        subscribed.error().message + "; nothing was subscribed");
    }
    out << "subscribed " << Escaped(subscribed->calendar.name) << " "
        << Escaped(calendar_sync::WithoutCredentials(subscribed->calendar.url)) << ": "
        << Counts(subscribed->refreshed.replacement) << "\n";
    for (const std::string& note : subscribed->refreshed.notes) {
        out << "note: " << Escaped(note) << "\n";
    }
    return 0;
}

int UnsubscribeCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                       std::ostream& out, std::ostream& err) {
    constexpr std::string_view kCommand = "unsubscribe";
    if (args.size() != 1 || args[0].empty()) {
        return Fail(err, kCommand, kUsageStatus, "expected: unsubscribe NAME");
    }
    auto removed = calendar_sync::UnsubscribeFeed(home, args[0]);
    if (!removed) {
        return Fail(err, kCommand, kFailureStatus, removed.error().message);
    }
    out << "unsubscribed " << Escaped(removed->name) << " "
        << Escaped(calendar_sync::WithoutCredentials(removed->url)) << "\n";
    return 0;
}

}  // namespace cli
