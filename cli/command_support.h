#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/time/date_time.h"

namespace cli {

// Exit statuses: 2 when the command line itself is wrong, 1 when the work failed.
inline constexpr int kUsageStatus = 2;
inline constexpr int kFailureStatus = 1;

// Writes "tessarinth-cli: COMMAND: MESSAGE" on `err` and returns `status`; the message's control
// characters are shown escaped (it may quote a file name or a calendar's text).
int Fail(std::ostream& err, std::string_view command, int status, const std::string& message);

// What `agenda` and `month` take: an optional date (today when absent) and --tsv.
struct DateCommandArguments {
    platform::Date selected = 0;
    bool tsv = false;
};

// Reads those arguments with `parse` for the date. On a wrong argument it reports on `err`
// (naming `expectedForm` for a bad date) and gives the exit status instead.
std::optional<DateCommandArguments> ReadDateCommandArguments(
    const std::vector<std::string>& args,
    const std::function<std::optional<platform::Date>(std::string_view)>& parse,
    std::string_view expectedForm, const platform::Clock& clock, std::string_view command,
    std::ostream& err, int& status);

}  // namespace cli
