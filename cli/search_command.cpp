#include "cli/search_command.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <variant>

#include "cli/command_support.h"
#include "cli/date_argument.h"
#include "cli/terminal_text.h"
#include "platform/text/unicode_text.h"
#include "schedule/item_search.h"

namespace cli {
namespace {

using store::FoundItem;
using store::SeriesOccurrence;

// The widest the subject and place columns grow before longer texts simply run past them.
constexpr size_t kMostSubjectColumn = 30;
constexpr size_t kMostLocationColumn = 20;
constexpr size_t kFoundDayColumn = 14;  // "2026-12-07 Mon"

int SearchFail(std::ostream& err, int status, const std::string& message) {
    return cli::Fail(err, "search", status, message);
}

bool IsUndatedFound(const FoundItem& item) {
    return item.kind == calendar::ItemKind::Task && item.start == calendar::kNoDateValue;
}

std::u16string FoundAscii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

// "HH:MM" of a time, and "MM-DD HH:MM" when it lies on another day than `day`.
std::string FoundTimeAfter(platform::Date time, platform::Date day) {
    const std::string minute = FormatMinute(time);
    if (minute.size() < 16) {
        return minute;
    }
    if (platform::DayNumber(time) == platform::DayNumber(day)) {
        return minute.substr(11);
    }
    return minute.substr(5, 5) + " " + minute.substr(11);
}

std::string FoundTimes(const FoundItem& item) {
    if (item.kind == calendar::ItemKind::Task) {
        return item.complete ? "task [x]" : "task [ ]";
    }
    if (item.allDay) {
        if (platform::DayNumber(item.start) == platform::DayNumber(item.end)) {
            return "all day";
        }
        return "all day-" + FormatDay(item.end).substr(5);
    }
    return FoundTimeAfter(item.start, item.start) + "-" + FoundTimeAfter(item.end, item.start);
}

std::string_view SeriesNote(SeriesOccurrence occurrence) {
    switch (occurrence) {
        case SeriesOccurrence::Next:
            return "series: next";
        case SeriesOccurrence::Last:
            return "series: last, none later";
        case SeriesOccurrence::NotASeries:
            break;
    }
    return "";
}

std::string_view SeriesField(SeriesOccurrence occurrence) {
    switch (occurrence) {
        case SeriesOccurrence::Next:
            return "next";
        case SeriesOccurrence::Last:
            return "last";
        case SeriesOccurrence::NotASeries:
            break;
    }
    return "";
}

void PrintFoundTsv(const std::vector<FoundItem>& items, std::ostream& out) {
    for (const FoundItem& item : items) {
        const bool undated = IsUndatedFound(item);
        out << (undated ? "" : FormatDay(item.start)) << '\t'
            << (undated ? "" : FormatMinute(item.start)) << '\t'
            << (undated ? "" : FormatMinute(item.end)) << '\t'
            << (item.kind == calendar::ItemKind::Task ? "task" : "appointment") << '\t' << item.oid
            << '\t' << (item.allDay ? 1 : 0) << '\t' << SeriesField(item.occurrence) << '\t'
            << (item.complete ? 1 : 0) << '\t' << TsvField(item.subject) << '\t'
            << TsvField(item.location) << '\n';
    }
}

void PrintFoundReadable(const std::vector<FoundItem>& items, std::ostream& out) {
    size_t timeColumn = 0;
    size_t subjectColumn = 0;
    size_t locationColumn = 0;
    for (const FoundItem& item : items) {
        timeColumn = std::max(timeColumn, FoundTimes(item).size());
        subjectColumn = std::max(subjectColumn, OneLineWidth(item.subject));
        locationColumn = std::max(locationColumn, OneLineWidth(item.location));
    }
    subjectColumn = std::min(subjectColumn, kMostSubjectColumn);
    locationColumn = std::min(locationColumn, kMostLocationColumn);
    for (const FoundItem& item : items) {
        const std::string day =
            IsUndatedFound(item) ? "no date" : FormatDay(item.start) + " " + WeekdayOf(item.start);
        std::string line = PadToWidth(FoundAscii(day), kFoundDayColumn);
        line += "  " + PadToWidth(FoundAscii(FoundTimes(item)), timeColumn);
        line += "  " + PadToWidth(item.subject, subjectColumn);
        if (locationColumn > 0) {
            line += "  " + PadToWidth(item.location, locationColumn);
        }
        line += "  ";
        line += SeriesNote(item.occurrence);
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

}  // namespace

int SearchCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  const platform::Clock& clock, std::ostream& out, std::ostream& err) {
    bool tsv = false;
    bool options = true;
    std::optional<std::string> text;
    for (const std::string& arg : args) {
        if (options && arg == "--tsv") {
            tsv = true;
        } else if (options && arg == "--") {
            options = false;
        } else if (options && arg.starts_with("--")) {
            return SearchFail(err, kUsageStatus, "unknown option: " + arg);
        } else if (!text) {
            text = arg;
        } else {
            return SearchFail(err, kUsageStatus,
                              "unexpected argument: " + arg + " (quote a text of several words)");
        }
    }
    if (!text) {
        return SearchFail(err, kUsageStatus, "the text to find is missing");
    }
    const auto wide = platform::Utf8ToUtf16(*text);
    if (!std::holds_alternative<std::u16string>(wide)) {
        return SearchFail(err, kUsageStatus, "the text to find is not UTF-8");
    }
    const schedule::SearchText read = schedule::ReadSearchText(std::get<std::u16string>(wide));
    if (read.problem == schedule::SearchText::Problem::Empty) {
        return SearchFail(err, kUsageStatus, "the text to find is empty");
    }
    if (read.problem == schedule::SearchText::Problem::TooLong) {
        return SearchFail(err, kUsageStatus,
                          "the text to find is longer than " +
                              std::to_string(schedule::kMaxSearchTextUnits) + " characters");
    }
    const std::optional<platform::Date> today = Today(clock);
    if (!today) {
        return SearchFail(err, kFailureStatus, "the clock gives no valid date");
    }
    if (auto folders = home.EnsureFolders(); !folders) {
        return SearchFail(err, kFailureStatus, folders.error().message);
    }
    schedule::StoreSession store(home.StorePath());
    auto found = schedule::FindItems(store, read.text, *today, std::numeric_limits<size_t>::max());
    if (!found) {
        return SearchFail(err, kFailureStatus, found.error().message);
    }
    if (found->items.empty()) {
        return SearchFail(
            err, kNothingFoundStatus,
            "no appointment or task holds \"" + platform::Utf16ToUtf8Lossy(read.text) + "\"");
    }
    if (tsv) {
        PrintFoundTsv(found->items, out);
    } else {
        PrintFoundReadable(found->items, out);
    }
    return 0;
}

}  // namespace cli
