#include "cli/screen_handover.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace cli {

bool IsScreenCommand(std::string_view command) {
    return command == "screenshot" || command == "drive";
}

int HandOverToScreen(char** argv, std::ostream& err) {
    return HandOver(kScreenProgramName, argv, err);
}

int HandOver(std::string_view programName, char** argv, std::ostream& err) {
    // The program is found beside this one, wherever that was started from.
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        err << "tessarinth-cli: cannot find " << programName << ": " << error.message() << "\n";
        return 1;
    }
    const std::string program = (self.parent_path() / programName).string();
    execv(program.c_str(), argv);
    const int cause = errno;
    err << "tessarinth-cli: cannot start " << program << ": " << std::strerror(cause) << "\n";
    return 1;
}

}  // namespace cli
