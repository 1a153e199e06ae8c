#include "settings/setting_text.h"

#include <gtest/gtest.h>

#include <string>

namespace settings {
namespace {

TEST(SettingText, NamesComeInLoadOrder) {
    const std::array<std::string_view, kSettingCount> expected = {
        "DataPath",  "HoliDay", "ccToday", "ccCurDay",  "ccWeekDay", "ccSatDay",   "ccSunDay",
        "ccHoliDay", "HMemo",   "bTask",   "ClearType", "Small",     "SyncMinutes"};
    EXPECT_EQ(SettingNames(), expected);
}

TEST(SettingText, FormatsEachKindItsOwnWay) {
    Settings settings;
    settings.bTask = -1;
    settings.ccSatDay = 0xFFFFFFFF;
    EXPECT_EQ(FormatSetting(settings, "DataPath"), "\\My Documents");
    EXPECT_EQ(FormatSetting(settings, "HoliDay"), "祝日");
    EXPECT_EQ(FormatSetting(settings, "ccToday"), "0xFF00FF");
    EXPECT_EQ(FormatSetting(settings, "ccWeekDay"), "0x000000");
    EXPECT_EQ(FormatSetting(settings, "ccSatDay"), "0xFFFFFFFF");
    EXPECT_EQ(FormatSetting(settings, "bTask"), "-1");
    EXPECT_EQ(FormatSetting(settings, "Small"), "0");
    EXPECT_EQ(FormatSetting(settings, "small"), std::nullopt);
}

TEST(SettingText, ColoursTakeDecimalOrHexWithin32Bits) {
    Settings settings;
    ASSERT_TRUE(AssignSetting(settings, "ccToday", "255").ok());
    EXPECT_EQ(settings.ccToday, 0xFFu);
    ASSERT_TRUE(AssignSetting(settings, "ccToday", "0x00ff00").ok());
    EXPECT_EQ(settings.ccToday, 0x00FF00u);
    ASSERT_TRUE(AssignSetting(settings, "ccToday", "0XFFFFFFFF").ok());
    EXPECT_EQ(settings.ccToday, 0xFFFFFFFFu);
    for (const char* bad : {"", "-1", "0x", "0x100000000", "4294967296", "12a", " 1", "+1"}) {
        EXPECT_FALSE(AssignSetting(settings, "ccToday", bad).ok()) << bad;
    }
    EXPECT_EQ(settings.ccToday, 0xFFFFFFFFu);
}

TEST(SettingText, FlagsTakeAnySigned32BitNumber) {
    Settings settings;
    ASSERT_TRUE(AssignSetting(settings, "bTask", "-2147483648").ok());
    EXPECT_EQ(settings.bTask, INT32_MIN);
    ASSERT_TRUE(AssignSetting(settings, "bTask", "0xFFFFFFFF").ok());
    EXPECT_EQ(settings.bTask, -1);
    ASSERT_TRUE(AssignSetting(settings, "bTask", "2").ok());
    EXPECT_EQ(settings.bTask, 2);
    EXPECT_FALSE(AssignSetting(settings, "bTask", "2147483648").ok());
    EXPECT_FALSE(AssignSetting(settings, "bTask", "on").ok());
    EXPECT_EQ(settings.bTask, 2);
}

TEST(SettingText, TextMustFitItsBuffer) {
    Settings settings;
    ASSERT_TRUE(AssignSetting(settings, "HoliDay", "休日").ok());
    EXPECT_EQ(settings.HoliDay, u"休日");
    std::string japanese;
    for (int i = 0; i < 255; ++i) {
        japanese += "予";
    }
    ASSERT_TRUE(AssignSetting(settings, "DataPath", japanese).ok());
    EXPECT_EQ(settings.DataPath, std::u16string(255, u'予'));
    const platform::Result<void> tooLong = AssignSetting(settings, "DataPath", japanese + "x");
    ASSERT_FALSE(tooLong.ok());
    EXPECT_EQ(tooLong.error().message, "DataPath holds at most 255 characters");
    EXPECT_FALSE(AssignSetting(settings, "DataPath", "\xff\xfe").ok());
    EXPECT_EQ(settings.DataPath, std::u16string(255, u'予'));
}

TEST(SettingText, UnknownNamesAreNamedInTheError) {
    Settings settings;
    const platform::Result<void> result = AssignSetting(settings, "Colour", "1");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message, "unknown setting Colour");
}

TEST(SettingText, EverySettingReadsBackWhatItFormats) {
    Settings source;
    source.DataPath = u"/srv/予定 files";
    source.ccHoliDay = 0x010203;
    source.Small = -7;
    Settings copy;
    copy.HoliDay = u"other";
    copy.bTask = 0;
    for (std::string_view name : SettingNames()) {
        const std::optional<std::string> text = FormatSetting(source, name);
        ASSERT_TRUE(text.has_value()) << name;
        ASSERT_TRUE(AssignSetting(copy, name, *text).ok()) << name;
    }
    EXPECT_EQ(copy, source);
}

}  // namespace
}  // namespace settings
