#include "platform/files/data_home.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/file_operations.h"

namespace platform {
namespace {

constexpr const char* kHomeVariable = "TESSARINTH_HOME";
constexpr const char* kProgramFolder = "tessarinth";
constexpr const char* kRegistryFileName = "registry.json";
constexpr const char* kStoreFileName = "schedule.sqlite";
constexpr const char* kDeviceFolder = "device";
// The folder every handheld has and the program keeps its files in by default.
constexpr const char* kDocumentsFolder = "My Documents";
constexpr size_t kPasswordBufferBytes = 16 * 1024;

std::optional<std::filesystem::path> AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value != '/') {
        return std::nullopt;  // unset, empty or relative: ignored, as XDG asks
    }
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> UserHome() {
    if (std::optional<std::filesystem::path> home = AbsoluteVariable("HOME")) {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(kPasswordBufferBytes);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || *found->pw_dir != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(found->pw_dir);
}

}  // namespace

DataHome::DataHome(const std::filesystem::path& root)
    : DataHome(root / kRegistryFileName, root / kStoreFileName, root / kDeviceFolder) {}

DataHome::DataHome(std::filesystem::path registryPath, std::filesystem::path storePath,
                   std::filesystem::path deviceRoot)
    : registryPath_(std::move(registryPath)),
      storePath_(std::move(storePath)),
      deviceRoot_(std::move(deviceRoot)) {}

Result<DataHome> DataHome::FromEnvironment() {
    const char* home = std::getenv(kHomeVariable);
    if (home != nullptr && *home != '\0') {
        return DataHome(std::filesystem::path(home));
    }
    std::optional<std::filesystem::path> config = AbsoluteVariable("XDG_CONFIG_HOME");
    std::optional<std::filesystem::path> data = AbsoluteVariable("XDG_DATA_HOME");
    if (!config || !data) {
        const std::optional<std::filesystem::path> user = UserHome();
        if (!user) {
            return MakeError("cannot find the home folder: set HOME or TESSARINTH_HOME");
        }
        config = config.value_or(*user / ".config");
        data = data.value_or(*user / ".local" / "share");
    }
    const std::filesystem::path configFolder = *config / kProgramFolder;
    const std::filesystem::path dataFolder = *data / kProgramFolder;
    return DataHome(configFolder / kRegistryFileName, dataFolder / kStoreFileName,
                    dataFolder / kDeviceFolder);
}

Result<void> DataHome::EnsureFolders() const {
    for (const std::filesystem::path& folder :
         {registryPath_.parent_path(), storePath_.parent_path(), deviceRoot_ / kDocumentsFolder}) {
        if (Result<void> made = CreateFolders(folder); !made) {
            return made;
        }
    }
    return {};
}

}  // namespace platform
