#include "settings/settings_store.h"

#include <array>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/setting_fields.h"

namespace settings {
namespace {

using platform::Result;
using platform::registry::CreatedKey;
using platform::registry::KeyHandle;
using platform::registry::ReadStatus;
using platform::registry::Registry;

// Software\Tessarinth\Tessarinth: the hive's own key, then the program's key twice over.
constexpr std::u16string_view kSoftwareKey = u"Software";
constexpr std::u16string_view kProgramKey = u"Tessarinth";
constexpr size_t kKeyDepth = 3;

using KeyPath = std::array<KeyHandle, kKeyDepth>;

enum class MissingKeys { Create, Fail };

void CloseKeyPath(Registry& registry, const KeyPath& path, size_t opened) {
    while (opened > 0) {
        registry.CloseKey(path[--opened]);
    }
}

// One of the program's two keys under `parent`, created when asked to.
Result<KeyHandle> OpenProgramKey(Registry& registry, KeyHandle parent, MissingKeys missing) {
    if (missing == MissingKeys::Fail) {
        return registry.OpenKey(parent, kProgramKey);
    }
    Result<CreatedKey> created = registry.CreateKey(parent, kProgramKey);
    if (!created) {
        return created.error();
    }
    return created->key;
}

// Opens the settings key, outermost first. "Software" is only ever opened: the hive always has
// it.
Result<KeyPath> OpenKeyPath(Registry& registry, MissingKeys missing) {
    KeyPath path;
    Result<KeyHandle> software = registry.OpenKey(Registry::CurrentUser(), kSoftwareKey);
    if (!software) {
        return software.error();
    }
    path[0] = *software;
    for (size_t depth = 1; depth < kKeyDepth; ++depth) {
        Result<KeyHandle> key = OpenProgramKey(registry, path[depth - 1], missing);
        if (!key) {
            CloseKeyPath(registry, path, depth);
            return key.error();
        }
        path[depth] = *key;
    }
    return path;
}

std::u16string ValueName(const SettingField& field) {
    return std::u16string(field.name.begin(), field.name.end());
}

void ReadSetting(const Registry& registry, KeyHandle key, const SettingField& field,
                 Settings& settings) {
    const std::u16string name = ValueName(field);
    if (const auto* text = std::get_if<TextMember>(&field.member)) {
        std::u16string value;
        if (registry.ReadString(key, name, value, kTextCapacity) == ReadStatus::Ok) {
            settings.*(*text) = std::move(value);
        }
        return;
    }
    uint32_t number = 0;
    if (registry.ReadNumber(key, name, number) != ReadStatus::Ok) {
        return;
    }
    if (const auto* colour = std::get_if<ColourMember>(&field.member)) {
        settings.*(*colour) = number;
    } else {
        settings.*std::get<FlagMember>(field.member) = static_cast<int32_t>(number);
    }
}

// A setting as the registry keeps it: text as a string, colours and flags as 32-bit numbers.
Registry::NamedWrite Stored(const SettingField& field, const Settings& settings) {
    const std::u16string name = ValueName(field);
    if (const auto* text = std::get_if<TextMember>(&field.member)) {
        return {name, settings.*(*text)};
    }
    if (const auto* colour = std::get_if<ColourMember>(&field.member)) {
        return {name, settings.*(*colour)};
    }
    return {name, static_cast<uint32_t>(settings.*std::get<FlagMember>(field.member))};
}

}  // namespace

void LoadSettings(Registry& registry, Settings& settings) {
    settings = Settings{};
    const Result<KeyPath> path = OpenKeyPath(registry, MissingKeys::Create);
    if (!path) {
        return;
    }
    for (const SettingField& field : kLoadOrder) {
        ReadSetting(registry, path->back(), field, settings);
    }
    // A number no planner writes (negative, or longer than a day) is taken for the default.
    if (settings.SyncMinutes < 0 || settings.SyncMinutes > kLongestSyncMinutes) {
        settings.SyncMinutes = kDefaultSyncMinutes;
    }
    CloseKeyPath(registry, *path, kKeyDepth);
}

Result<void> SaveSettings(Registry& registry, const Settings& settings) {
    const Result<KeyPath> path = OpenKeyPath(registry, MissingKeys::Fail);
    if (!path) {
        return platform::MakeError("cannot save the settings: " + path.error().message);
    }
    std::vector<Registry::NamedWrite> writes;
    for (const SettingField& field : kSaveOrder) {
        writes.push_back(Stored(field, settings));
    }
    // One write of the file: a crash leaves the old settings or the new ones.
    Result<void> written = registry.WriteValues(path->back(), writes);
    CloseKeyPath(registry, *path, kKeyDepth);
    if (!written) {
        return platform::MakeError("cannot save the settings: " + written.error().message);
    }
    return {};
}

}  // namespace settings
