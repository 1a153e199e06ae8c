// tessarinth-cli-reminders: the reminders command of tessarinth-cli, which needs the session bus
// (Qt D-Bus) that the other text commands do without. tessarinth-cli hands `reminders` over to
// this program, which takes its process as it is; the arguments are tessarinth-cli's own.
#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

#include "cli/reminders_command.h"
#include "cli/terminal_text.h"
#include "platform/files/data_home.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] != "reminders") {
        std::cerr << "tessarinth-cli-reminders: run by tessarinth-cli for reminders\n";
        return 2;
    }
    auto home = platform::DataHome::FromEnvironment();
    if (!home) {
        std::cerr << "tessarinth-cli: " << cli::Escaped(home.error().message) << "\n";
        return 1;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const platform::SystemClock clock;
    if (rest.size() == 1 && rest[0] == "--watch") {
        QCoreApplication application(argc, argv);
        return cli::WatchReminders(*home, clock, std::cerr);
    }
    return cli::RemindersCommand(*home, rest, clock, std::cout, std::cerr);
}
