#pragma once

#include <ostream>

#include "platform/files/data_home.h"
#include "platform/registry/registry.h"
#include "settings/settings.h"

namespace cli {

// The registry of the data home. When its file was found damaged it has been moved aside and
// the registry starts empty; a note on `err` says where the old file went.
platform::registry::Registry OpenHomeRegistry(const platform::DataHome& home, std::ostream& err);

// The twelve settings as the planner loads them at start-up from the data home's registry.
settings::Settings LoadHomeSettings(const platform::DataHome& home, std::ostream& err);

}  // namespace cli
