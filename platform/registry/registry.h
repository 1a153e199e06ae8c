#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry/registry_key.h"
#include "platform/result.h"
#include "platform/time/date_time.h"

namespace platform::registry {

// An open key. Handles are never reused, so a closed one stays invalid.
struct KeyHandle {
    uint32_t id = 0;
    friend bool operator==(KeyHandle, KeyHandle) = default;
};

enum class ReadStatus {
    Ok,
    Missing,
    // The value is there but cannot be read as asked: the other type, or a string that does
    // not fit the caller's buffer with its terminating zero. Also a handle that is not open.
    Unreadable,
};

struct CreatedKey {
    KeyHandle key;
    bool created = false;  // false when the key was already there and has merely been opened
};

// The current user's registry, kept in one file that every change rewrites at once.
class Registry {
public:
    // Loads the file; a missing one is an empty registry. A damaged or unreadable file is moved
    // aside to "<file>.damaged-YYYYMMDD-HHMMSS" (stamped with the clock's local time), the
    // registry starts empty, and DamageNotice() says where the old file was kept.
    static Registry Open(std::filesystem::path file, const Clock& clock);
    static Registry Open(std::filesystem::path file);

    // The hive root. Like a real hive it always holds the key "Software".
    static KeyHandle CurrentUser() { return KeyHandle{kCurrentUserId}; }

    // Opens an existing subkey; fails when it is missing.
    Result<KeyHandle> OpenKey(KeyHandle parent, std::u16string_view name);
    // Opens a subkey, creating (and saving) it when it is missing.
    Result<CreatedKey> CreateKey(KeyHandle parent, std::u16string_view name);
    void CloseKey(KeyHandle key);

    // On anything but Ok, `out` is left as it was.
    ReadStatus ReadString(KeyHandle key, std::u16string_view name, std::u16string& out,
                          size_t capacityUnits) const;
    ReadStatus ReadNumber(KeyHandle key, std::u16string_view name, uint32_t& out) const;

    // Sets a value (replacing one of either type, or one that could not be read) and saves the
    // registry. When saving fails, the error is returned and both the file and the registry
    // stay as they were.
    Result<void> WriteString(KeyHandle key, std::u16string_view name, std::u16string_view text);
    Result<void> WriteNumber(KeyHandle key, std::u16string_view name, uint32_t number);

    // Sets several values of one key and saves the registry once, so that the file holds either
    // all of them or none: when anything fails, nothing is changed. Only strings and numbers
    // are written.
    struct NamedWrite {
        std::u16string name;
        RegistryValue value;
    };
    Result<void> WriteValues(KeyHandle key, const std::vector<NamedWrite>& writes);

    // The names of a key's values as spelt, in name order.
    std::vector<std::u16string> ValueNames(KeyHandle key) const;

    // Takes up what another program saved into the file since this registry last read or wrote
    // it (settings changed from a terminal while the planner runs): true when the contents were
    // read again. Every open handle becomes invalid then. A file that cannot be read or parsed
    // now is left where it is, for it may be in the middle of an edit: the contents in memory
    // stay and the error says why; the file is looked at again once it changes once more.
    Result<bool> FollowFile();

    // One line for the user when the file was found damaged at Open, naming the kept copy.
    const std::optional<std::string>& DamageNotice() const { return damageNotice_; }
    const std::filesystem::path& File() const { return file_; }

private:
    static constexpr uint32_t kCurrentUserId = 1;

    explicit Registry(std::filesystem::path file);
    void Load(const Clock& clock);
    void KeepDamagedFile(const std::string& problem, const Clock& clock);
    RegistryKey* Find(KeyHandle key) const;
    KeyHandle Remember(RegistryKey* key);
    Result<void> WriteValue(KeyHandle key, std::u16string_view name, RegistryValue value);
    Result<void> Save();
    // Notes which version of the file this registry holds, to tell another program's save.
    void NoteFileVersion();

    // What tells one version of the file from the next: an atomic replacement makes a new file.
    struct FileVersion {
        bool exists = false;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t modifiedNanoseconds = 0;
        friend bool operator==(const FileVersion&, const FileVersion&) = default;
    };
    static FileVersion VersionOf(const std::filesystem::path& file);

    std::filesystem::path file_;
    std::unique_ptr<RegistryKey> root_;
    std::unordered_map<uint32_t, RegistryKey*> openKeys_;
    uint32_t nextId_ = kCurrentUserId + 1;
    std::optional<std::string> damageNotice_;
    // Set when a damaged file had to stay in place: saving would destroy it.
    std::optional<std::string> saveRefusal_;
    FileVersion fileVersion_;
};

}  // namespace platform::registry
