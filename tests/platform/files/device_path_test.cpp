#include "platform/files/device_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/files/file_operations.h"
#include "tests/support/temp_folder.h"

namespace platform {
namespace {

using testing_support::TempFolder;

const DataHome kHome(std::filesystem::path("/data/home"));

std::string Mapped(std::u16string_view devicePath) {
    const std::optional<std::filesystem::path> path = MapDevicePath(kHome, devicePath);
    return path ? path->string() : "<refused>";
}

TEST(MapDevicePath, DeviceNamesLieUnderTheDeviceRoot) {
    EXPECT_EQ(Mapped(u"\\My Documents\\1.dat"), "/data/home/device/My Documents/1.dat");
    EXPECT_EQ(Mapped(u"\\My Documents\\Subject.DAT"), "/data/home/device/My Documents/Subject.DAT");
    EXPECT_EQ(Mapped(u"notes.dat"), "/data/home/device/notes.dat");
    EXPECT_EQ(Mapped(u"\\"), "/data/home/device");
}

TEST(MapDevicePath, BothSlashesSeparateAndEmptyStepsFold) {
    EXPECT_EQ(Mapped(u"\\My Documents/sub\\x.dat"), "/data/home/device/My Documents/sub/x.dat");
    EXPECT_EQ(Mapped(u"\\\\My Documents\\\\.\\x.dat\\"), "/data/home/device/My Documents/x.dat");
}

TEST(MapDevicePath, HostPathsAreTakenAsTheyAre) {
    EXPECT_EQ(Mapped(u"/tmp/x"), "/tmp/x");
    EXPECT_EQ(Mapped(u"/home/me/予定/1.dat"), "/home/me/予定/1.dat");
}

TEST(JoinDevicePath, DeviceFoldersTakeABackslashHostFoldersASlash) {
    EXPECT_EQ(JoinDevicePath(u"\\My Documents", u"12.dat"), u"\\My Documents\\12.dat");
    EXPECT_EQ(Mapped(JoinDevicePath(u"/home/me/予定", u"Task.DAT")), "/home/me/予定/Task.DAT");
}

TEST(MapDevicePath, StepsOutOfTheDeviceRootAreRefused) {
    EXPECT_EQ(Mapped(u".."), "<refused>");
    EXPECT_EQ(Mapped(u"\\..\\etc\\passwd"), "<refused>");
    EXPECT_EQ(Mapped(u"\\My Documents\\..\\..\\x"), "<refused>");
    EXPECT_EQ(Mapped(u"\\My Documents/../x"), "<refused>");
    EXPECT_EQ(Mapped(u"a\\.."), "<refused>");
    // Names that merely contain dots are ordinary names.
    EXPECT_EQ(Mapped(u"\\My Documents\\..x"), "/data/home/device/My Documents/..x");
    EXPECT_EQ(Mapped(u"\\..."), "/data/home/device/...");
}

TEST(MapDevicePath, EmptyNulAndBrokenUtf16AreRefused) {
    EXPECT_EQ(Mapped(u""), "<refused>");
    EXPECT_EQ(Mapped(std::u16string(u"\\My Documents\\a\0b", 17)), "<refused>");
    EXPECT_EQ(Mapped(std::u16string(u"\\x") + char16_t{0xD800}), "<refused>");
    EXPECT_EQ(Mapped(std::u16string(u"/x") + char16_t{0xDC00} + u"y"), "<refused>");
}

TEST(MapDevicePath, JapaneseFolderNamesBecomeUtf8FilesOnDisk) {
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const DataHome home(folder.Path());
    const std::optional<std::filesystem::path> path =
        MapDevicePath(home, u"\\My Documents\\予定表\\メモ😀.dat");
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(path->string(), (folder.Path() / "device/My Documents/予定表/メモ😀.dat").string());
    ASSERT_TRUE(ReplaceFileAtomically(*path, "x").ok());
    EXPECT_TRUE(FileExists(folder.Path() / "device" / "My Documents" / "予定表" / "メモ😀.dat"));
}

}  // namespace
}  // namespace platform
