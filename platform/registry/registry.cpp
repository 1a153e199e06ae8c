#include "platform/registry/registry.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <system_error>
#include <utility>

#include "platform/files/device_path.h"
#include "platform/files/file_operations.h"
#include "platform/registry/registry_text.h"

namespace platform::registry {
namespace {

// Every hive has this key from the start; the program opens it without creating it.
constexpr std::u16string_view kSoftwareKey = u"Software";

std::string Printable(std::u16string_view name) {
    return Utf16ToUtf8(name).value_or("(unprintable name)");
}

Error InvalidHandle() {
    return MakeError("the registry key is not open");
}

std::string DamagedSuffix(const CalendarFields& now) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, ".damaged-%04u%02u%02u-%02u%02u%02u", unsigned{now.Year},
                  unsigned{now.Month}, unsigned{now.Day}, unsigned{now.Hour}, unsigned{now.Minute},
                  unsigned{now.Second});
    return stamp;
}

// Like a real hive, the root always holds "Software".
void EnsureSoftwareKey(RegistryKey& root) {
    if (root.FindSubkey(kSoftwareKey) == nullptr) {
        auto software = std::make_unique<RegistryKey>();
        software->name = kSoftwareKey;
        root.subkeys.emplace(FoldName(kSoftwareKey), std::move(software));
    }
}

}  // namespace

Registry::Registry(std::filesystem::path file)
    : file_(std::move(file)), root_(std::make_unique<RegistryKey>()) {}

Registry Registry::Open(std::filesystem::path file) {
    return Open(std::move(file), SystemClock());
}

Registry Registry::Open(std::filesystem::path file, const Clock& clock) {
    Registry registry(std::move(file));
    registry.Load(clock);
    registry.NoteFileVersion();
    EnsureSoftwareKey(*registry.root_);
    return registry;
}

void Registry::Load(const Clock& clock) {
    if (!FileExists(file_)) {
        return;  // a first run
    }
    // A file too large to be a registry is not read at all, however large it is.
    std::error_code sizeError;
    const uintmax_t size = std::filesystem::file_size(file_, sizeError);
    if (!sizeError && size > kMaxRegistryFileOctets) {
        KeepDamagedFile("is larger than " + std::to_string(kMaxRegistryFileOctets / (1024 * 1024)) +
                            " MiB (" + std::to_string(size) + " bytes)",
                        clock);
        return;
    }
    Result<std::string> text = ReadWholeFile(file_, kMaxRegistryFileOctets);
    if (!text) {
        KeepDamagedFile("is unreadable (" + text.error().message + ")", clock);
        return;
    }
    Result<RegistryKey> parsed = ParseRegistryText(*text);
    if (!parsed) {
        KeepDamagedFile("is damaged (" + parsed.error().message + ")", clock);
        return;
    }
    *root_ = std::move(*parsed);
}

void Registry::KeepDamagedFile(const std::string& problem, const Clock& clock) {
    const std::string subject = "The registry file " + file_.native() + " " + problem;
    const Result<std::filesystem::path> kept =
        MoveAside(file_, DamagedSuffix(clock.LocalTimeNow()));
    if (kept) {
        damageNotice_ =
            subject + "; it was kept as " + kept->native() + " and the registry starts empty.";
        return;
    }
    damageNotice_ = subject + " and could not be moved aside (" + kept.error().message +
                    "); the registry starts empty and changes are not saved.";
    saveRefusal_ = "changes are not saved over the damaged registry file " + file_.native();
}

RegistryKey* Registry::Find(KeyHandle key) const {
    if (key == CurrentUser()) {
        return root_.get();
    }
    const auto found = openKeys_.find(key.id);
    return found == openKeys_.end() ? nullptr : found->second;
}

KeyHandle Registry::Remember(RegistryKey* key) {
    const KeyHandle handle{nextId_++};
    openKeys_.emplace(handle.id, key);
    return handle;
}

Result<void> Registry::Save() {
    if (saveRefusal_) {
        return MakeError(*saveRefusal_);
    }
    Result<void> saved = ReplaceFileAtomically(file_, FormatRegistryText(*root_));
    if (saved) {
        NoteFileVersion();  // this registry's own save is no news to it
    }
    return saved;
}

Registry::FileVersion Registry::VersionOf(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) {
        return FileVersion{};
    }
    constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
    return FileVersion{true, static_cast<uint64_t>(status.st_ino),
                       static_cast<int64_t>(status.st_size),
                       static_cast<int64_t>(status.st_mtim.tv_sec) * kNanosecondsPerSecond +
                           status.st_mtim.tv_nsec};
}

void Registry::NoteFileVersion() {
    fileVersion_ = VersionOf(file_);
}

Result<bool> Registry::FollowFile() {
    const FileVersion now = VersionOf(file_);
    if (now == fileVersion_) {
        return false;
    }
    fileVersion_ = now;
    if (saveRefusal_) {
        return false;  // the damaged file kept in place is no registry to follow
    }
    auto fresh = std::make_unique<RegistryKey>();
    if (now.exists) {
        if (now.size > static_cast<int64_t>(kMaxRegistryFileOctets)) {
            return MakeError("the registry file " + file_.native() + " is larger than " +
                             std::to_string(kMaxRegistryFileOctets / (1024 * 1024)) +
                             " MiB; the settings in use stay");
        }
        Result<std::string> text = ReadWholeFile(file_, kMaxRegistryFileOctets);
        if (!text) {
            return MakeError("the registry file " + file_.native() + " cannot be read (" +
                             text.error().message + "); the settings in use stay");
        }
        Result<RegistryKey> parsed = ParseRegistryText(*text);
        if (!parsed) {
            return MakeError("the registry file " + file_.native() + " is damaged (" +
                             parsed.error().message + "); the settings in use stay");
        }
        *fresh = std::move(*parsed);
    }
    EnsureSoftwareKey(*fresh);
    openKeys_.clear();
    root_ = std::move(fresh);
    return true;
}

Result<KeyHandle> Registry::OpenKey(KeyHandle parent, std::u16string_view name) {
    const RegistryKey* parentKey = Find(parent);
    if (parentKey == nullptr) {
        return InvalidHandle();
    }
    RegistryKey* key = parentKey->FindSubkey(name);
    if (key == nullptr) {
        return MakeError("the registry key " + Printable(name) + " does not exist");
    }
    return Remember(key);
}

Result<CreatedKey> Registry::CreateKey(KeyHandle parent, std::u16string_view name) {
    RegistryKey* parentKey = Find(parent);
    if (parentKey == nullptr) {
        return InvalidHandle();
    }
    if (!IsValidKeyName(name)) {
        return MakeError("\"" + Printable(name) + "\" cannot name a registry key");
    }
    if (RegistryKey* existing = parentKey->FindSubkey(name)) {
        return CreatedKey{Remember(existing), false};
    }
    auto key = std::make_unique<RegistryKey>();
    key->name = name;
    RegistryKey* added = key.get();
    const auto entry = parentKey->subkeys.emplace(FoldName(name), std::move(key)).first;
    if (Result<void> saved = Save(); !saved) {
        parentKey->subkeys.erase(entry);
        return saved.error();
    }
    return CreatedKey{Remember(added), true};
}

void Registry::CloseKey(KeyHandle key) {
    openKeys_.erase(key.id);
}

ReadStatus Registry::ReadString(KeyHandle key, std::u16string_view name, std::u16string& out,
                                size_t capacityUnits) const {
    const RegistryKey* owner = Find(key);
    if (owner == nullptr) {
        return ReadStatus::Unreadable;
    }
    const NamedValue* value = owner->FindValue(name);
    if (value == nullptr) {
        return ReadStatus::Missing;
    }
    const auto* text = std::get_if<std::u16string>(&value->value);
    if (text == nullptr || text->size() >= capacityUnits) {
        return ReadStatus::Unreadable;
    }
    out = *text;
    return ReadStatus::Ok;
}

ReadStatus Registry::ReadNumber(KeyHandle key, std::u16string_view name, uint32_t& out) const {
    const RegistryKey* owner = Find(key);
    if (owner == nullptr) {
        return ReadStatus::Unreadable;
    }
    const NamedValue* value = owner->FindValue(name);
    if (value == nullptr) {
        return ReadStatus::Missing;
    }
    const auto* number = std::get_if<uint32_t>(&value->value);
    if (number == nullptr) {
        return ReadStatus::Unreadable;
    }
    out = *number;
    return ReadStatus::Ok;
}

Result<void> Registry::WriteString(KeyHandle key, std::u16string_view name,
                                   std::u16string_view text) {
    if (!IsStorableText(text)) {
        return MakeError("the text for " + Printable(name) + " is not well-formed UTF-16");
    }
    return WriteValue(key, name, std::u16string(text));
}

Result<void> Registry::WriteNumber(KeyHandle key, std::u16string_view name, uint32_t number) {
    return WriteValue(key, name, number);
}

Result<void> Registry::WriteValue(KeyHandle key, std::u16string_view name, RegistryValue value) {
    RegistryKey* owner = Find(key);
    if (owner == nullptr) {
        return InvalidHandle();
    }
    if (!IsStorableText(name)) {
        return MakeError("a registry value name is not well-formed UTF-16");
    }
    const auto [entry, added] =
        owner->values.try_emplace(FoldName(name), NamedValue{std::u16string(name), value});
    if (!added && entry->second.value == value) {
        return {};  // nothing changes, so the file need not be rewritten
    }
    RegistryValue previous = std::exchange(entry->second.value, std::move(value));
    if (Result<void> saved = Save(); !saved) {
        if (added) {
            owner->values.erase(entry);
        } else {
            entry->second.value = std::move(previous);
        }
        return saved;
    }
    return {};
}

Result<void> Registry::WriteValues(KeyHandle key, const std::vector<NamedWrite>& writes) {
    RegistryKey* owner = Find(key);
    if (owner == nullptr) {
        return InvalidHandle();
    }
    for (const NamedWrite& write : writes) {
        const auto* text = std::get_if<std::u16string>(&write.value);
        if (!IsStorableText(write.name) || (text != nullptr && !IsStorableText(*text))) {
            return MakeError("the text for " + Printable(write.name) +
                             " is not well-formed UTF-16");
        }
        if (std::holds_alternative<KeptJson>(write.value)) {
            return MakeError("only strings and numbers are written to the registry");
        }
    }
    const std::map<std::u16string, NamedValue> before = owner->values;
    bool changed = false;
    for (const NamedWrite& write : writes) {
        const auto [entry, added] =
            owner->values.try_emplace(FoldName(write.name), NamedValue{write.name, write.value});
        if (added || entry->second.value != write.value) {
            entry->second.value = write.value;
            changed = true;
        }
    }
    if (!changed) {
        return {};  // nothing changes, so the file need not be rewritten
    }
    if (Result<void> saved = Save(); !saved) {
        owner->values = before;
        return saved;
    }
    return {};
}

std::vector<std::u16string> Registry::ValueNames(KeyHandle key) const {
    std::vector<std::u16string> names;
    if (const RegistryKey* owner = Find(key)) {
        for (const auto& [folded, named] : owner->values) {
            names.push_back(named.name);
        }
    }
    return names;
}

}  // namespace platform::registry
