// tessarinth-cli-sync: `tessarinth-cli sync`, `subscribe` and `unsubscribe`, the text commands
// that talk to the network (Qt Network) or go with them. tessarinth-cli hands it over to this
// program, which takes its process as it is, so that the other text commands never load Qt Network.
#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "cli/subscribe_command.h"
#include "cli/sync_command.h"
#include "cli/terminal_text.h"
#include "platform/files/data_home.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || (args[0] != "sync" && args[0] != "subscribe" && args[0] != "unsubscribe")) {
        std::cerr << "tessarinth-cli-sync: run by tessarinth-cli for sync, subscribe and "
                     "unsubscribe\n";
        return 2;
    }
    // The network's answers arrive through a core application's event loop.
    QCoreApplication application(argc, argv);
    auto home = platform::DataHome::FromEnvironment();
    if (!home) {
        std::cerr << "tessarinth-cli: " << cli::Escaped(home.error().message) << "\n";
        return 1;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "subscribe") {
        return cli::SubscribeCommand(*home, rest, std::cout, std::cerr);
    }
    if (args[0] == "unsubscribe") {
        return cli::UnsubscribeCommand(*home, rest, std::cout, std::cerr);
    }
    return cli::SyncCommand(*home, rest, std::cin, std::cout, std::cerr);
}
