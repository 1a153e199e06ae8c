// tessarinth-cli: the planner's store and settings from a terminal, through the same code the
// screen uses.
#include <iostream>
#include <string>
#include <vector>

#include "cli/calendar_commands.h"
#include "platform/files/data_home.h"

namespace {

constexpr const char* kUsage =
    "usage: tessarinth-cli COMMAND [ARGS]\n"
    "  import FILE.ics    add the events and tasks of an iCalendar file to the store\n"
    "  export FILE.ics    write the whole store as an iCalendar file (- for standard output)\n"
    "The data home is $TESSARINTH_HOME, else the XDG folders.\n";

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    auto home = platform::DataHome::FromEnvironment();
    if (!home) {
        std::cerr << "tessarinth-cli: " << home.error().message << "\n";
        return 1;
    }
    const std::string& command = args[0];
    if ((command == "import" || command == "export") && args.size() == 2) {
        return command == "import" ? cli::ImportCalendar(*home, args[1])
                                   : cli::ExportCalendar(*home, args[1]);
    }
    std::cerr << "tessarinth-cli: unknown command or wrong arguments: " << command << "\n"
              << kUsage;
    return 2;
}
