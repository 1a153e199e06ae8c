// tessarinth-cli-screen: the commands of tessarinth-cli that paint or drive the planner's screen
// (screenshot, drive), the only ones that need Qt's widgets. tessarinth-cli hands them over to
// this program, which takes its process as it is; the arguments are tessarinth-cli's own.
#include <iostream>
#include <string>
#include <vector>

#include "cli/drive_command.h"
#include "cli/screenshot_command.h"
#include "cli/terminal_text.h"
#include "platform/files/data_home.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "tessarinth-cli-screen: run by tessarinth-cli for screenshot and drive\n";
        return 2;
    }
    auto home = platform::DataHome::FromEnvironment();
    if (!home) {
        std::cerr << "tessarinth-cli: " << cli::Escaped(home.error().message) << "\n";
        return 1;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const platform::SystemClock clock;
    if (command == "screenshot") {
        return cli::ScreenshotCommand(*home, rest, clock, std::cout, std::cerr);
    }
    if (command == "drive") {
        return cli::DriveCommand(*home, rest, clock, std::cin, std::cout, std::cerr);
    }
    std::cerr << "tessarinth-cli-screen: run by tessarinth-cli for screenshot and drive, not for "
              << cli::Escaped(command) << "\n";
    return 2;
}
