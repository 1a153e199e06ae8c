#include "platform/files/data_home.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"

namespace platform {
namespace {

using testing_support::TempFolder;

// Sets or clears environment variables for one test and puts them back afterwards.
class ScopedEnvironment {
public:
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    void Set(const std::string& name, const char* value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) {
            setenv(name.c_str(), value, 1);
        } else {
            unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(DataHome, TessarinthHomeHoldsEverything) {
    ScopedEnvironment environment;
    environment.Set("TESSARINTH_HOME", "/portable/th");
    environment.Set("XDG_CONFIG_HOME", "/xdg/config");
    const Result<DataHome> home = DataHome::FromEnvironment();
    ASSERT_TRUE(home.ok());
    EXPECT_EQ(home->RegistryPath(), "/portable/th/registry.json");
    EXPECT_EQ(home->StorePath(), "/portable/th/schedule.sqlite");
    EXPECT_EQ(home->DeviceRoot(), "/portable/th/device");
}

TEST(DataHome, XdgFoldersSplitRegistryFromData) {
    ScopedEnvironment environment;
    environment.Set("TESSARINTH_HOME", nullptr);
    environment.Set("XDG_CONFIG_HOME", "/xdg/config");
    environment.Set("XDG_DATA_HOME", "/xdg/data");
    const Result<DataHome> home = DataHome::FromEnvironment();
    ASSERT_TRUE(home.ok());
    EXPECT_EQ(home->RegistryPath(), "/xdg/config/tessarinth/registry.json");
    EXPECT_EQ(home->StorePath(), "/xdg/data/tessarinth/schedule.sqlite");
    EXPECT_EQ(home->DeviceRoot(), "/xdg/data/tessarinth/device");
}

TEST(DataHome, UnsetOrRelativeXdgFoldersFallBackToTheHomeFolder) {
    ScopedEnvironment environment;
    environment.Set("TESSARINTH_HOME", "");
    environment.Set("HOME", "/home/me");
    environment.Set("XDG_CONFIG_HOME", nullptr);
    environment.Set("XDG_DATA_HOME", "relative/data");
    const Result<DataHome> home = DataHome::FromEnvironment();
    ASSERT_TRUE(home.ok());
    EXPECT_EQ(home->RegistryPath(), "/home/me/.config/tessarinth/registry.json");
    EXPECT_EQ(home->StorePath(), "/home/me/.local/share/tessarinth/schedule.sqlite");
    EXPECT_EQ(home->DeviceRoot(), "/home/me/.local/share/tessarinth/device");
}

TEST(DataHome, EnsureFoldersCreatesPrivateFolders) {
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const DataHome home(folder.Path() / "home");
    ASSERT_TRUE(home.EnsureFolders().ok());
    EXPECT_EQ(testing_support::ModeOf(folder.Path() / "home"), 0700u);
    EXPECT_EQ(testing_support::ModeOf(home.DeviceRoot()), 0700u);
    EXPECT_EQ(testing_support::ModeOf(home.DeviceRoot() / "My Documents"), 0700u);
    EXPECT_TRUE(home.EnsureFolders().ok());  // a second run finds them all there
}

}  // namespace
}  // namespace platform
