#include "cli/settings_command.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "cli/home_settings.h"
#include "cli/terminal_text.h"
#include "settings/setting_text.h"
#include "settings/settings_store.h"

#include "cli/command_support.h"

namespace cli {
namespace {

int Fail(std::ostream& err, int status, const std::string& message) {
    return cli::Fail(err, "settings", status, message);
}

size_t LongestName() {
    size_t longest = 0;
    for (const std::string_view name : settings::SettingNames()) {
        longest = std::max(longest, name.size());
    }
    return longest;
}

void PrintSetting(const settings::Settings& values, std::string_view name, std::ostream& out) {
    std::string line(name);
    line.resize(LongestName() + 2, ' ');
    out << line << Escaped(settings::FormatSetting(values, name).value_or("")) << '\n';
}

}  // namespace

int SettingsCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                    std::ostream& out, std::ostream& err) {
    const bool show = args.empty();
    const bool set = args.size() == 3 && args[0] == "set";
    if (!show && !set) {
        return Fail(err, kUsageStatus, "expected no arguments or: set NAME VALUE");
    }
    if (auto folders = home.EnsureFolders(); !folders) {
        return Fail(err, kFailureStatus, folders.error().message);
    }
    platform::registry::Registry registry = OpenHomeRegistry(home, err);
    settings::Settings values;
    settings::LoadSettings(registry, values);
    if (show) {
        for (const std::string_view name : settings::SettingNames()) {
            PrintSetting(values, name, out);
        }
        return 0;
    }
    const std::string& name = args[1];
    if (auto assigned = settings::AssignSetting(values, name, args[2]); !assigned) {
        return Fail(err, kUsageStatus, assigned.error().message);
    }
    if (auto saved = settings::SaveSettings(registry, values); !saved) {
        return Fail(err, kFailureStatus, "cannot save: " + saved.error().message);
    }
    PrintSetting(values, name, out);
    return 0;
}

}  // namespace cli
