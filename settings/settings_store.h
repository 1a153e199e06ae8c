#pragma once

#include "platform/registry/registry.h"
#include "platform/result.h"
#include "settings/settings.h"

namespace settings {

// Puts the defaults into `settings`, then takes over every value the registry holds that can be
// read as its setting's type; a missing or unreadable value leaves its default alone, whatever
// else the registry file holds (values of other types, members no one here knows). The key
// Software\Tessarinth\Tessarinth is created on the way, so it exists after the first run even
// before anything is saved. When it can be neither opened nor created, all stay at default.
void LoadSettings(platform::registry::Registry& registry, Settings& settings);

// Writes all the settings into the key that loading created, with one atomic replacement of
// the registry file: it then holds the old values or the new ones, and everything
// else it held (values the planner does not know, unreadable ones) as it was. When the key is
// missing nothing is written. The program itself goes on whatever happens; the result is for
// tools that report a failed save.
platform::Result<void> SaveSettings(platform::registry::Registry& registry,
                                    const Settings& settings);

}  // namespace settings
