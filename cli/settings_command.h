#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"

namespace cli {

// `settings`: the twelve settings of the data home's registry, one "NAME VALUE" line each.
// `settings set NAME VALUE`: changes one and saves all twelve, as the settings dialog's OK does.
// `args` are the words after "settings". Returns the exit status; a failure is one line on `err`.
int SettingsCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                    std::ostream& out, std::ostream& err);

}  // namespace cli
