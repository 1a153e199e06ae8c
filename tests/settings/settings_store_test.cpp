#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <functional>
#include <optional>

#include <string>
#include <vector>

#include "platform/files/file_operations.h"
#include "tests/support/temp_folder.h"

namespace settings {
namespace {

using platform::registry::KeyHandle;
using platform::registry::Registry;
using testing_support::TempFolder;

// Tuesday 2024-03-05 06:07:08.
const platform::FixedClock kClock(platform::CalendarFields{2024, 3, 2, 5, 6, 7, 8, 0});

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Made()); }
    std::filesystem::path File() const { return folder_.Path() / "registry.json"; }
    Registry Open() const { return Registry::Open(File(), kClock); }

    // Software\Tessarinth\Tessarinth, or nullopt when any step is missing.
    static std::optional<KeyHandle> SettingsKey(Registry& registry) {
        KeyHandle key = Registry::CurrentUser();
        for (std::u16string_view name : {u"Software", u"Tessarinth", u"Tessarinth"}) {
            platform::Result<KeyHandle> next = registry.OpenKey(key, name);
            if (!next) {
                return std::nullopt;
            }
            key = *next;
        }
        return key;
    }

    // Stores values the way an earlier run (or a hand edit) would have left them.
    void Store(const std::function<void(Registry&, KeyHandle)>& write) const {
        Registry registry = Open();
        Settings ignored;
        LoadSettings(registry, ignored);
        const std::optional<KeyHandle> key = SettingsKey(registry);
        ASSERT_TRUE(key.has_value());
        write(registry, *key);
    }

    Settings Load() const {
        Registry registry = Open();
        Settings settings;
        settings.bTask = 77;  // load must not keep what was in memory
        LoadSettings(registry, settings);
        return settings;
    }

    TempFolder folder_;
};

TEST_F(SettingsStore, FirstRunGivesTheDefaultsAndCreatesAnEmptyKey) {
    const Settings settings = Load();
    EXPECT_EQ(settings.DataPath, u"\\My Documents");
    EXPECT_EQ(settings.HoliDay, u"祝日");
    EXPECT_EQ(settings.ccToday, 0xFF00FFu);
    EXPECT_EQ(settings.ccCurDay, 0x00FFFFu);
    EXPECT_EQ(settings.ccWeekDay, 0x000000u);
    EXPECT_EQ(settings.ccSatDay, 0xFF0000u);
    EXPECT_EQ(settings.ccSunDay, 0x0000FFu);
    EXPECT_EQ(settings.ccHoliDay, 0x0000FFu);
    EXPECT_EQ(settings.HMemo, 0);
    EXPECT_EQ(settings.bTask, 1);
    EXPECT_EQ(settings.ClearType, 0);
    EXPECT_EQ(settings.Small, 0);

    Registry registry = Open();
    const std::optional<KeyHandle> key = SettingsKey(registry);
    ASSERT_TRUE(key.has_value());
    EXPECT_TRUE(registry.ValueNames(*key).empty());
}

TEST_F(SettingsStore, OnlyOneCountsAsOn) {
    Store([](Registry& registry, KeyHandle key) {
        ASSERT_TRUE(registry.WriteNumber(key, u"bTask", 2).ok());
        ASSERT_TRUE(registry.WriteNumber(key, u"HMemo", 0xFFFFFFFF).ok());
        ASSERT_TRUE(registry.WriteNumber(key, u"Small", 1).ok());
    });
    const Settings settings = Load();
    EXPECT_EQ(settings.bTask, 2);
    EXPECT_FALSE(IsOn(settings.bTask));
    EXPECT_EQ(settings.HMemo, -1);
    EXPECT_FALSE(IsOn(settings.HMemo));
    EXPECT_TRUE(IsOn(settings.Small));
    EXPECT_FALSE(IsOn(settings.ClearType));
}

TEST_F(SettingsStore, LongestDataPathSurvivesSaveAndLoad) {
    Settings saved;
    saved.DataPath = u"\\My Documents\\" + std::u16string(240, u'予');
    ASSERT_EQ(saved.DataPath.size(), 254u);
    {
        Registry registry = Open();
        Settings loaded;
        LoadSettings(registry, loaded);
        ASSERT_TRUE(SaveSettings(registry, saved).ok());
    }
    EXPECT_EQ(Load().DataPath, saved.DataPath);
}

TEST_F(SettingsStore, StoredTextTooLongForItsBufferLeavesTheDefault) {
    Store([](Registry& registry, KeyHandle key) {
        ASSERT_TRUE(registry.WriteString(key, u"DataPath", std::u16string(256, u'x')).ok());
        ASSERT_TRUE(registry.WriteString(key, u"HoliDay", std::u16string(255, u'y')).ok());
    });
    const Settings settings = Load();
    EXPECT_EQ(settings.DataPath, u"\\My Documents");
    EXPECT_EQ(settings.HoliDay, std::u16string(255, u'y'));
}

TEST_F(SettingsStore, ValuesOfTheWrongTypeLeaveTheirDefaults) {
    Store([](Registry& registry, KeyHandle key) {
        ASSERT_TRUE(registry.WriteNumber(key, u"DataPath", 5).ok());
        ASSERT_TRUE(registry.WriteString(key, u"ccToday", u"0x123456").ok());
        ASSERT_TRUE(registry.WriteString(key, u"bTask", u"0").ok());
        ASSERT_TRUE(registry.WriteNumber(key, u"ccSunDay", 0x123456).ok());
    });
    Settings expected;
    expected.ccSunDay = 0x123456;
    EXPECT_EQ(Load(), expected);
}

TEST_F(SettingsStore, SaveWritesAllTwelveAndLoadReadsThemBack) {
    Settings saved;
    saved.DataPath = u"/home/me/予定";
    saved.HoliDay = u"休日";
    saved.ccToday = 1;
    saved.ccCurDay = 2;
    saved.ccWeekDay = 3;
    saved.ccSatDay = 4;
    saved.ccSunDay = 5;
    saved.ccHoliDay = 0xFFFFFFFF;
    saved.HMemo = 1;
    saved.bTask = 0;
    saved.ClearType = 1;
    saved.Small = -2;
    {
        Registry registry = Open();
        Settings loaded;
        LoadSettings(registry, loaded);
        ASSERT_TRUE(SaveSettings(registry, saved).ok());
    }
    Registry registry = Open();
    const std::optional<KeyHandle> key = SettingsKey(registry);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(
        registry.ValueNames(*key),
        (std::vector<std::u16string>{u"bTask", u"ccCurDay", u"ccHoliDay", u"ccSatDay", u"ccSunDay",
                                     u"ccToday", u"ccWeekDay", u"ClearType", u"DataPath", u"HMemo",
                                     u"HoliDay", u"Small", u"SyncMinutes"}));
    uint32_t small = 0;
    EXPECT_EQ(registry.ReadNumber(*key, u"Small", small), platform::registry::ReadStatus::Ok);
    EXPECT_EQ(small, 0xFFFFFFFEu);
    EXPECT_EQ(Load(), saved);
}

TEST_F(SettingsStore, SaveWithoutTheKeyWritesNothing) {
    Registry registry = Open();
    const platform::Result<void> result = SaveSettings(registry, Settings{});
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find("Tessarinth"), std::string::npos);
    EXPECT_FALSE(platform::FileExists(File()));
}

TEST_F(SettingsStore, DamagedRegistryGivesDefaultsAndANotice) {
    testing_support::WriteBytes(File(), R"({"format": "tessarinth-registry", "version": 1,)");
    Registry registry = Open();
    ASSERT_TRUE(registry.DamageNotice().has_value());
    EXPECT_NE(registry.DamageNotice()->find("registry.json.damaged-20240305-060708"),
              std::string::npos)
        << *registry.DamageNotice();
    Settings settings;
    settings.ccToday = 0;
    LoadSettings(registry, settings);
    EXPECT_EQ(settings, Settings{});
    EXPECT_TRUE(SettingsKey(registry).has_value());
}

// A registry file another program (or a hand) has added to: each value that cannot be read falls
// back alone, and nothing the planner does not know is lost when it saves.
TEST_F(SettingsStore, EachUnreadableValueFallsBackAloneAndUnknownOnesSurviveASave) {
    testing_support::WriteBytes(File(), R"({
      "format": "tessarinth-registry", "version": 1,
      "root": {"keys": {"Software": {"keys": {"Tessarinth": {"keys": {"Tessarinth": {
        "keys": {},
        "values": {
          "DataPath": {"type": "string", "data": "/home/me/予定"},
          "bTask": {"type": "number", "data": 0.5},
          "ccToday": {"type": "number", "data": 255},
          "WindowPlacement": {"type": "binary", "data": "AAECAw=="},
          "Theme": {"type": "string", "data": "dark", "since": 2}
        }}}, "values": {}}}, "values": {}}}, "values": {}}})");
    Registry registry = Open();
    EXPECT_FALSE(registry.DamageNotice().has_value());
    Settings settings;
    LoadSettings(registry, settings);
    EXPECT_EQ(settings.DataPath, u"/home/me/予定");
    EXPECT_EQ(settings.bTask, 1);  // its default
    EXPECT_EQ(settings.ccToday, 0xFFu);
    EXPECT_EQ(settings.HoliDay, u"祝日");

    settings.Small = 1;
    ASSERT_TRUE(SaveSettings(registry, settings).ok());
    const std::string saved = testing_support::ReadBytes(File());
    EXPECT_NE(saved.find(R"("WindowPlacement")"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"("AAECAw==")"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"("since": 2)"), std::string::npos) << saved;
    Settings again;
    again.bTask = 77;
    Registry reopened = Open();
    LoadSettings(reopened, again);
    EXPECT_EQ(again.DataPath, u"/home/me/予定");
    EXPECT_EQ(again.bTask, 1);  // now stored as a number that reads
    EXPECT_EQ(again.Small, 1);
    const std::optional<KeyHandle> key = SettingsKey(reopened);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(reopened.ValueNames(*key).size(), 15u);  // the thirteen and the two kept
}

TEST_F(SettingsStore, ASaveThatCannotFinishLeavesTheOldTwelve) {
    Settings old;
    {
        Registry registry = Open();
        Settings loaded;
        LoadSettings(registry, loaded);
        old.HoliDay = u"休";
        ASSERT_TRUE(SaveSettings(registry, old).ok());
    }
    const std::string before = testing_support::ReadBytes(File());
    Settings changed;
    changed.DataPath = u"\\" + std::u16string(250, u'長');  // makes the file longer
    changed.bTask = 0;
    changed.ccToday = 0x010203;
    Registry registry = Open();
    Settings loaded;
    LoadSettings(registry, loaded);
    {
        // Room for the file as it was, not for the new one: the one write fails whole.
        rlimit old_{};
        getrlimit(RLIMIT_FSIZE, &old_);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(before.size() + 200), old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_FALSE(SaveSettings(registry, changed).ok());
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler);
    }
    EXPECT_EQ(testing_support::ReadBytes(File()), before);
    EXPECT_EQ(Load(), old);
}

TEST_F(SettingsStore, RegistryThatCannotBeSavedStillGivesDefaults) {
    testing_support::WriteBytes(folder_.Path() / "plain", "x");
    Registry registry = Registry::Open(folder_.Path() / "plain" / "registry.json", kClock);
    Settings settings;
    settings.DataPath = u"elsewhere";
    LoadSettings(registry, settings);
    EXPECT_EQ(settings, Settings{});
    EXPECT_FALSE(SaveSettings(registry, settings).ok());
}

}  // namespace
}  // namespace settings
