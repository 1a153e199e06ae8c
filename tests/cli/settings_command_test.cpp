#include "cli/settings_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/month_command.h"
#include "platform/registry/registry.h"
#include "settings/settings_store.h"
#include "tests/cli/imported_home.h"

namespace cli {
namespace {

class SettingsCommandTest : public ImportedHome {
protected:
    int Settings(std::initializer_list<std::string> args) {
        out_.str("");
        err_.str("");
        return SettingsCommand(home_, std::vector<std::string>(args), out_, err_);
    }

    settings::Settings Saved() {
        auto registry = platform::registry::Registry::Open(home_.RegistryPath());
        settings::Settings saved;
        settings::LoadSettings(registry, saved);
        return saved;
    }
};

TEST_F(SettingsCommandTest, ListsTheSettings) {
    ASSERT_EQ(Settings({}), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              "DataPath     \\My Documents\n"
              "HoliDay      祝日\n"
              "ccToday      0xFF00FF\n"
              "ccCurDay     0x00FFFF\n"
              "ccWeekDay    0x000000\n"
              "ccSatDay     0xFF0000\n"
              "ccSunDay     0x0000FF\n"
              "ccHoliDay    0x0000FF\n"
              "HMemo        0\n"
              "bTask        1\n"
              "ClearType    0\n"
              "Small        0\n"
              "SyncMinutes  15\n");
}

// The running planner's sync interval: 0 to a day, else refused; a stored number out of that
// range reads as the default.
TEST_F(SettingsCommandTest, TheSyncIntervalTakesNoMinutesToADay) {
    ASSERT_EQ(Settings({"set", "SyncMinutes", "0"}), 0) << err_.str();
    EXPECT_EQ(Saved().SyncMinutes, 0);
    ASSERT_EQ(Settings({"set", "SyncMinutes", "1440"}), 0);
    EXPECT_NE(Settings({"set", "SyncMinutes", "1441"}), 0);
    EXPECT_NE(Settings({"set", "SyncMinutes", "-5"}), 0);
    EXPECT_EQ(Saved().SyncMinutes, 1440);

    auto registry = platform::registry::Registry::Open(home_.RegistryPath());
    auto key = registry.OpenKey(platform::registry::Registry::CurrentUser(), u"Software");
    key = registry.OpenKey(*key, u"Tessarinth");
    key = registry.OpenKey(*key, u"Tessarinth");
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(registry.WriteValues(*key, {{u"SyncMinutes", uint32_t{0xFFFFFFF6}}}).ok());
    EXPECT_EQ(Saved().SyncMinutes, settings::kDefaultSyncMinutes);
}

TEST_F(SettingsCommandTest, SetSavesThemAllAndTheCommandsUseThem) {
    ASSERT_EQ(Settings({"set", "ccToday", "0x123456"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "ccToday      0x123456\n");
    ASSERT_EQ(Settings({"set", "Small", "1"}), 0);
    ASSERT_EQ(Settings({"set", "HoliDay", "休日"}), 0);

    settings::Settings expected;
    expected.ccToday = 0x123456;
    expected.Small = 1;
    expected.HoliDay = u"休日";
    EXPECT_EQ(Saved(), expected);
    auto registry = platform::registry::Registry::Open(home_.RegistryPath());
    auto key = registry.OpenKey(platform::registry::Registry::CurrentUser(), u"Software");
    key = registry.OpenKey(*key, u"Tessarinth");
    key = registry.OpenKey(*key, u"Tessarinth");
    ASSERT_TRUE(key.ok());
    EXPECT_EQ(registry.ValueNames(*key).size(), 13u);

    // The 10th and 11th are in the category 祝日, no longer the holiday one.
    ASSERT_EQ(Run(MonthCommand, {"2026-12", "--tsv"}), 0);
    EXPECT_NE(out_.str().find("2026-12-10\t1\t4\t1\t0\t0\n"), std::string::npos) << out_.str();
}

TEST_F(SettingsCommandTest, BadNamesAndValuesChangeNothing) {
    ASSERT_EQ(Settings({"set", "bTask", "0"}), 0);
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"Colour", "1"},
                                                          {"bTask", "yes"},
                                                          {"ccToday", "0xFFFFFFFFF"},
                                                          {"DataPath", std::string(256, 'x')}}) {
        EXPECT_NE(Settings({"set", name, value}), 0) << name;
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(LineCount(err_.str()), 1) << err_.str();
    }
    EXPECT_NE(Settings({"set", "bTask"}), 0);
    EXPECT_NE(Settings({"show"}), 0);
    settings::Settings expected;
    expected.bTask = 0;
    EXPECT_EQ(Saved(), expected);
}

TEST_F(SettingsCommandTest, AFailedSaveIsReported) {
    testing_support::WithoutRootPowers user;
    if (!user.PermissionsApply()) {
        GTEST_SKIP() << "permissions do not apply to this process";
    }
    testing_support::TempFolder folder;
    const platform::DataHome home(folder.Path());
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(SettingsCommand(home, {}, out, err), 0) << err.str();
    {
        testing_support::ReadOnlyFolder readOnly(folder.Path());
        EXPECT_EQ(SettingsCommand(home, {"set", "Small", "1"}, out, err), 1);
    }
    EXPECT_NE(err.str().find("cannot save"), std::string::npos) << err.str();
    auto registry = platform::registry::Registry::Open(home.RegistryPath());
    settings::Settings saved;
    settings::LoadSettings(registry, saved);
    EXPECT_EQ(saved.Small, 0);
}

}  // namespace
}  // namespace cli
