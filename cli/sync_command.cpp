#include "cli/sync_command.h"

#include <termios.h>
#include <unistd.h>

#include <QUrl>
#include <iostream>
#include <optional>
#include <string>

#include "caldav/account_discovery.h"
#include "caldav/caldav_collection.h"
#include "cli/home_settings.h"
#include "cli/subscribe_command.h"
#include "cli/terminal_text.h"
#include "sync/account_setup.h"
#include "sync/data_home_sync.h"
#include "sync/feed_subscriptions.h"
#include "sync/sync_password.h"

namespace cli {
namespace {

constexpr int kStopped = 1;
constexpr int kWrongArguments = 2;

using calendar_sync::CheckCollectionUrl;
using calendar_sync::kLongestSyncTimeout;
using calendar_sync::kShortestSyncTimeout;
using calendar_sync::LoadSyncSettings;
using calendar_sync::PasswordStore;
using calendar_sync::SyncSettings;

int Usage(std::ostream& err, const std::string& why) {
    err << "tessarinth-cli: " << Escaped(why) << "\n"
        << "usage: tessarinth-cli sync [--allow-mass-delete] [--print-remedy]\n"
        << "       tessarinth-cli sync setup --server URL --user NAME "
           "[--password-stdin] [--timeout SECONDS]\n"
        << "       tessarinth-cli sync setup --events URL [--tasks URL] --user NAME "
           "[--password-stdin] [--timeout SECONDS]\n";
    return kWrongArguments;
}

// The reason, a line or two (what stopped, then what mends it), each line's control characters
// shown escaped: it may quote a server's words.
int Stop(std::ostream& err, const std::string& why) {
    err << "tessarinth-cli: ";
    for (size_t start = 0; start <= why.size();) {
        const size_t end = std::min(why.find('\n', start), why.size());
        err << Escaped(std::string_view(why).substr(start, end - start)) << "\n";
        start = end + 1;
    }
    return kStopped;
}

// The command that mends what stopped a sync, or that a second run finishes it.
std::string WhatToDo(platform::Remedy remedy, const SyncSettings& settings) {
    const std::string setup = "tessarinth-cli sync setup --events " + settings.eventsUrl +
                              (settings.tasksUrl.empty() ? "" : " --tasks " + settings.tasksUrl) +
                              " --user " + settings.user + " --password-stdin";
    constexpr std::string_view kKept = "what was synced before is kept; ";
    switch (remedy) {
        case platform::Remedy::CheckAccount:
            return std::string(kKept) + "give the user name and password again: " + setup;
        case platform::Remedy::CheckAddress:
            return std::string(kKept) +
                   "see that the server runs, then run the sync again to finish; if the "
                   "collection's URL is wrong, set it: " +
                   setup;
        case platform::Remedy::ConfirmDeletes:
            return "if they were deleted there on purpose, delete them here too: tessarinth-cli "
                   "sync --allow-mass-delete";
        case platform::Remedy::TryAgain:
            break;
    }
    return std::string(kKept) + "run the sync again to finish";
}

// The word `--print-remedy` gives for what mends a stop, for a program that runs the sync and
// tells its user in its own words (the running planner).
std::string_view RemedyWord(platform::Remedy remedy) {
    switch (remedy) {
        case platform::Remedy::CheckAccount:
            return "check-account";
        case platform::Remedy::CheckAddress:
            return "check-address";
        case platform::Remedy::ConfirmDeletes:
            return "confirm-deletes";
        case platform::Remedy::TryAgain:
            break;
    }
    return "try-again";
}

// The first line of `in`, read no further than a password may be long: nothing when the line is
// longer (an input without line ends, such as /dev/zero, is refused after a few kilobytes).
std::optional<std::string> FirstLine(std::istream& in) {
    std::string line;
    // Room for the password and a carriage return before the line feed, and one byte to tell.
    constexpr size_t kMostRead = calendar_sync::kMaxPasswordBytes + 2;
    for (int c = in.get(); c != std::char_traits<char>::eof() && c != '\n'; c = in.get()) {
        line += static_cast<char>(c);
        if (line.size() == kMostRead) {
            return std::nullopt;
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > calendar_sync::kMaxPasswordBytes) {
        return std::nullopt;
    }
    return line;
}

// Asks on the terminal without showing what is typed; from a pipe, reads the first line.
std::optional<std::string> AskPassword(std::istream& in, std::ostream& err) {
    if (&in != &std::cin || !isatty(STDIN_FILENO)) {
        return FirstLine(in);
    }
    err << "password: " << std::flush;
    termios before{};
    const bool terminal = tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        termios quiet = before;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const std::optional<std::string> password = FirstLine(in);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    }
    err << "\n";
    return password;
}

bool IsLoopback(const std::string& url) {
    const QString host = QUrl(QString::fromStdString(url)).host();
    return host == "localhost" || host == "127.0.0.1" || host == "::1";
}

// Lists the calendars found at the server's address and which of them the sync takes: the
// first that takes appointments and the first list that takes only tasks (else the same
// calendar) as the store's first calendar, every other as a calendar of its own.
void PrintFoundCalendars(const SyncSettings& settings, const calendar_sync::FoundAccount& found,
                         std::ostream& out) {
    const std::vector<caldav::FoundCalendar>& account = found.calendars;
    const caldav::FoundCalendar* events = &account[*found.events];
    const caldav::FoundCalendar* tasks = found.tasks ? &account[*found.tasks] : nullptr;
    out << "found " << account.size() << (account.size() == 1 ? " calendar" : " calendars")
        << " at " << Escaped(calendar_sync::WithoutCredentials(settings.serverUrl)) << ":\n";
    for (const caldav::FoundCalendar& calendar : account) {
        const std::string kinds = calendar.events && calendar.tasks ? "appointments and tasks"
                                  : calendar.events                 ? "appointments"
                                                                    : "tasks";
        out << "  " << Escaped(calendar.name) << "\t" << Escaped(calendar.url) << "\t" << kinds
            << (calendar.readOnly ? ", read-only" : "")
            << (calendar.color.empty() ? "" : ", " + calendar.color)
            << (&calendar == events && tasks == events ? "\tsynced: appointments and tasks"
                : &calendar == events                  ? "\tsynced: appointments"
                : &calendar == tasks                   ? "\tsynced: tasks"
                                                       : "\tsynced: a calendar of its own")
            << "\n";
    }
}

int Setup(const platform::DataHome& home, const std::vector<std::string>& args, std::istream& in,
          std::ostream& out, std::ostream& err) {
    SyncSettings settings;
    bool passwordFromInput = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        const bool hasValue = i + 1 < args.size();
        if (option == "--password-stdin") {
            passwordFromInput = true;
        } else if (option == "--server" && hasValue) {
            settings.serverUrl = args[++i];
        } else if (option == "--events" && hasValue) {
            settings.eventsUrl = args[++i];
        } else if (option == "--tasks" && hasValue) {
            settings.tasksUrl = args[++i];
        } else if (option == "--user" && hasValue) {
            settings.user = args[++i];
        } else if (option == "--timeout" && hasValue) {
            const std::string& value = args[++i];
            char* end = nullptr;
            const long seconds = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || seconds < kShortestSyncTimeout ||
                seconds > kLongestSyncTimeout) {
                return Usage(err, "the timeout must be " + std::to_string(kShortestSyncTimeout) +
                                      " to " + std::to_string(kLongestSyncTimeout) +
                                      " seconds: " + value);
            }
            settings.timeoutSeconds = static_cast<int>(seconds);
        } else {
            // Perhaps a URL given without its option: shown without what it may hold before '@'.
            return Usage(
                err, "unknown or incomplete option: " + calendar_sync::WithoutCredentials(option));
        }
    }
    if (settings.eventsUrl.empty() == settings.serverUrl.empty() || settings.user.empty()) {
        return Usage(err, "sync setup needs --server URL (or --events URL) and --user NAME");
    }
    if (!settings.serverUrl.empty()) {
        if (!settings.tasksUrl.empty()) {
            return Usage(err, "--tasks goes with --events: with --server the calendars are found");
        }
        if (auto bad = CheckCollectionUrl(settings.serverUrl)) {
            return Usage(err, *bad);
        }
    }
    if (auto bad = calendar_sync::CheckUserName(settings.user)) {
        return Usage(err, *bad);
    }
    for (std::string* url : {&settings.eventsUrl, &settings.tasksUrl}) {
        if (url->empty()) {
            continue;
        }
        if (auto bad = CheckCollectionUrl(*url)) {
            return Usage(err, *bad);
        }
        // One spelling of the collection's path: the server's hrefs are matched against it.
        *url = caldav::CollectionUrl(*url);
    }
    if (settings.tasksUrl == settings.eventsUrl) {
        settings.tasksUrl.clear();
    }
    const std::optional<std::string> read =
        passwordFromInput ? FirstLine(in) : AskPassword(in, err);
    if (!read) {
        return Stop(err, "the password is longer than " +
                             std::to_string(calendar_sync::kMaxPasswordBytes) +
                             " bytes; nothing was set up");
    }
    const std::string& password = *read;
    if (password.empty()) {
        return Stop(err, "no password given; nothing was set up");
    }
    std::optional<calendar_sync::FoundAccount> found;
    if (!settings.serverUrl.empty()) {
        auto account = calendar_sync::FindAccount(settings, password);
        if (!account) {
            return Stop(err, account.error().message + "; nothing was set up");
        }
        found = std::move(account).value();
        if (!found->events) {
            return Stop(err,
                        "the account has no calendar for appointments that can be written; "
                        "nothing was set up");
        }
        PrintFoundCalendars(settings, *found, out);
    }
    auto kept = calendar_sync::KeepAccount(home, settings, password, found ? &*found : nullptr);
    if (!kept) {
        return Stop(err, kept.error().message);
    }
    if (kept->replacedServer) {
        out << "note: the next sync puts every item on the new server\n";
    }
    out << "sync set up: appointments " << settings.eventsUrl << ", tasks "
        << settings.TasksCollection() << ", user " << settings.user << "\n";
    if (kept->passwordPlace == PasswordStore::Place::File) {
        out << "note: no secret service answered; the password is kept in "
            << kept->passwordFile.string() << ", readable by you alone\n";
    }
    if (!IsLoopback(settings.eventsUrl) &&
        (settings.eventsUrl.starts_with("http:") || settings.tasksUrl.starts_with("http:"))) {
        out << "note: over http the password and the calendar travel unencrypted; use https\n";
    }
    return 0;
}

void Print(const std::string& label, const std::string& url,
           const calendar_sync::SyncOutcome& outcome, std::ostream& out) {
    out << label << " " << Escaped(url) << ": " << outcome.received << " received, " << outcome.sent
        << " sent, " << outcome.deletedHere << " deleted here, " << outcome.deletedOnServer
        << " deleted on the server\n";
    for (const std::string& conflict : outcome.conflicts) {
        out << "conflict: " << Escaped(conflict) << "\n";
    }
    for (const std::string& note : outcome.notes) {
        out << "note: " << Escaped(note) << "\n";
    }
}

int Run(const platform::DataHome& home, const std::vector<std::string>& args, std::ostream& out,
        std::ostream& err) {
    bool allowMassDelete = false;
    bool printRemedy = false;
    for (const std::string& option : args) {
        if (option == "--allow-mass-delete") {
            allowMassDelete = true;
        } else if (option == "--print-remedy") {
            printRemedy = true;
        } else {
            return Usage(err, "unknown option: " + option);
        }
    }
    auto loaded = LoadSyncSettings(home);
    if (!loaded) {
        return Stop(err, loaded.error().message);
    }
    std::optional<calendar_sync::SyncStop> stopped;
    if (loaded->has_value()) {
        stopped = calendar_sync::SyncDataHome(
            home, **loaded, LoadHomeSettings(home, err).DataPath, allowMassDelete,
            [&out](const calendar_sync::CollectionSynced& synced) {
                Print(synced.label, synced.url, synced.outcome, out);
            });
    }
    // The subscribed feeds are refreshed beside the account's calendars, and without an account
    // too; a feed that fails keeps its last copy and stops nothing else.
    std::vector<calendar_sync::FeedRefreshed> failedFeeds;
    const calendar_sync::FeedOptions feedOptions{
        std::chrono::seconds(loaded->has_value() ? (*loaded)->timeoutSeconds : 30), {}};
    auto feeds = calendar_sync::RefreshDataHomeFeeds(
        home, feedOptions, [&](const calendar_sync::FeedRefreshed& refreshed) {
            PrintFeedRefreshed(refreshed, out);
            if (refreshed.failure) {
                failedFeeds.push_back(refreshed);
            }
        });
    if (!loaded->has_value() && feeds && *feeds == 0) {
        return Stop(err,
                    "sync is not set up: run tessarinth-cli sync setup --events URL --user NAME");
    }
    int status = 0;
    std::optional<platform::Remedy> remedy;
    if (stopped) {
        status = stopped->inCollection
                     ? Stop(err, "sync stopped: " + stopped->error.message + "\n" +
                                     WhatToDo(stopped->error.remedy, **loaded))
                     : Stop(err, stopped->error.message);
        remedy = stopped->error.remedy;
    }
    if (!feeds && !stopped) {
        // Another sync holds the lock, or the store cannot be opened: said once. With a server
        // set up, its calendars were synced before.
        status = Stop(err, loaded->has_value()
                               ? "the subscribed feeds were not refreshed: " + feeds.error().message
                               : feeds.error().message);
        remedy = feeds.error().remedy;
    }
    for (const calendar_sync::FeedRefreshed& failed : failedFeeds) {
        status =
            Stop(err, "feed " + failed.name + " " + calendar_sync::WithoutCredentials(failed.url) +
                          ": " + failed.failure->message + "; its last copy is kept");
        if (!remedy) {
            remedy = failed.failure->remedy;
        }
    }
    if (status != 0 && printRemedy) {
        err << "remedy: " << RemedyWord(remedy.value_or(platform::Remedy::TryAgain)) << "\n";
    }
    return status;
}

}  // namespace

int SyncCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                std::istream& in, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args[0] == "setup") {
        return Setup(home, args, in, out, err);
    }
    return Run(home, args, out, err);
}

}  // namespace cli
