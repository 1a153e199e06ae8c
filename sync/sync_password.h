#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/result.h"

namespace calendar_sync {

// The longest password kept, in bytes: more than any server asks for, few enough that a
// password read from an endless input is refused at once.
inline constexpr size_t kMaxPasswordBytes = 4096;

// Where the sync's password is kept: the desktop's secret service when one answers (through
// QtKeychain), else a file beside the settings that only the user can read.
class PasswordStore {
public:
    enum class Place { SecretService, File };
    static constexpr const char* kSecretServiceName = "secret-service";
    static constexpr const char* kFileName = "file";

    // `key` names the account in the secret service; `file` is the fallback file.
    PasswordStore(std::string key, std::filesystem::path file);

    // Keeps the password and says where it went; one longer than kMaxPasswordBytes is refused.
    platform::Result<Place> Save(const std::string& password);
    platform::Result<std::string> Load(Place place);

    const std::filesystem::path& File() const { return file_; }

private:
    std::string key_;
    std::filesystem::path file_;
};

}  // namespace calendar_sync
