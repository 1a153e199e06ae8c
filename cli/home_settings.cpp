#include "cli/home_settings.h"

#include "cli/terminal_text.h"
#include "settings/settings_store.h"

namespace cli {

platform::registry::Registry OpenHomeRegistry(const platform::DataHome& home, std::ostream& err) {
    platform::registry::Registry registry = platform::registry::Registry::Open(home.RegistryPath());
    if (registry.DamageNotice()) {
        err << "tessarinth-cli: note: " << Escaped(*registry.DamageNotice()) << "\n";
    }
    return registry;
}

settings::Settings LoadHomeSettings(const platform::DataHome& home, std::ostream& err) {
    platform::registry::Registry registry = OpenHomeRegistry(home, err);
    settings::Settings loaded;
    settings::LoadSettings(registry, loaded);
    return loaded;
}

}  // namespace cli
