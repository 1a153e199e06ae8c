#pragma once

#include <filesystem>

#include "platform/result.h"

namespace platform {

// Where all persistent state lives: the registry file, the schedule store and the folder that
// stands in for the handheld's own file system.
class DataHome {
public:
    // Everything under one folder, as $TESSARINTH_HOME arranges it.
    explicit DataHome(const std::filesystem::path& root);

    // Under $TESSARINTH_HOME when it is set; otherwise the registry in $XDG_CONFIG_HOME/tessarinth
    // (~/.config/tessarinth) and the store and device files in $XDG_DATA_HOME/tessarinth
    // (~/.local/share/tessarinth). Fails only when no home folder can be found.
    static Result<DataHome> FromEnvironment();

    const std::filesystem::path& RegistryPath() const { return registryPath_; }
    const std::filesystem::path& StorePath() const { return storePath_; }
    const std::filesystem::path& DeviceRoot() const { return deviceRoot_; }

    // Creates the folders these live in (and the device's "My Documents"), 0700 where new.
    Result<void> EnsureFolders() const;

private:
    DataHome(std::filesystem::path registryPath, std::filesystem::path storePath,
             std::filesystem::path deviceRoot);

    std::filesystem::path registryPath_;
    std::filesystem::path storePath_;
    std::filesystem::path deviceRoot_;
};

}  // namespace platform
