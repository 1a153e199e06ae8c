#pragma once

#include <filesystem>
#include <string>

#include "platform/result.h"

namespace calendar_sync {

// Where the sync's password is kept: the desktop's secret service when one answers (through
// QtKeychain), else a file beside the settings that only the user can read.
class PasswordStore {
public:
    enum class Place { SecretService, File };
    static constexpr const char* kSecretServiceName = "secret-service";
    static constexpr const char* kFileName = "file";

    // `key` names the account in the secret service; `file` is the fallback file.
    PasswordStore(std::string key, std::filesystem::path file);

    // Keeps the password and says where it went.
    platform::Result<Place> Save(const std::string& password);
    platform::Result<std::string> Load(Place place);

    const std::filesystem::path& File() const { return file_; }

private:
    std::string key_;
    std::filesystem::path file_;
};

}  // namespace calendar_sync
