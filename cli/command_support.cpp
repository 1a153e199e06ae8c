#include "cli/command_support.h"

#include "cli/date_argument.h"
#include "cli/terminal_text.h"

namespace cli {

int Fail(std::ostream& err, std::string_view command, int status, const std::string& message) {
    err << "tessarinth-cli: " << command << ": " << Escaped(message) << "\n";
    return status;
}

std::optional<DateCommandArguments> ReadDateCommandArguments(
    const std::vector<std::string>& args,
    const std::function<std::optional<platform::Date>(std::string_view)>& parse,
    std::string_view expectedForm, const platform::Clock& clock, std::string_view command,
    std::ostream& err, int& status) {
    DateCommandArguments read;
    std::optional<platform::Date> selected;
    for (const std::string& arg : args) {
        if (arg == "--tsv") {
            read.tsv = true;
        } else if (!selected) {
            selected = parse(arg);
            if (!selected) {
                status = Fail(err, command, kUsageStatus,
                              "not a " + std::string(expectedForm) + ": " + arg);
                return std::nullopt;
            }
        } else {
            status = Fail(err, command, kUsageStatus, "unexpected argument: " + arg);
            return std::nullopt;
        }
    }
    if (!selected) {
        selected = Today(clock);
        if (!selected) {
            status = Fail(err, command, kFailureStatus, "the clock gives no valid date");
            return std::nullopt;
        }
    }
    read.selected = *selected;
    return read;
}

}  // namespace cli
