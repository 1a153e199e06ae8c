#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <string>

#include "platform/files/file_operations.h"
#include "platform/registry/registry_text.h"
#include "tests/support/temp_folder.h"

namespace platform::registry {
namespace {

using testing_support::ListFolder;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

CalendarFields At(int year, int month, int day, int hour, int minute, int second) {
    CalendarFields fields;
    fields.Year = static_cast<uint16_t>(year);
    fields.Month = static_cast<uint16_t>(month);
    fields.Day = static_cast<uint16_t>(day);
    fields.Hour = static_cast<uint16_t>(hour);
    fields.Minute = static_cast<uint16_t>(minute);
    fields.Second = static_cast<uint16_t>(second);
    return fields;
}

const FixedClock kClock(At(2024, 3, 5, 6, 7, 8));
constexpr const char* kKeptName = "registry.json.damaged-20240305-060708";

// Files may grow to `bytes` only while it lives: a write past it fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Made()); }
    std::filesystem::path File() const { return folder_.Path() / "registry.json"; }
    Registry Open() const { return Registry::Open(File(), kClock); }

    // Software\Tessarinth, created on the way.
    static KeyHandle ProgramKey(Registry& registry) {
        Result<KeyHandle> software = registry.OpenKey(Registry::CurrentUser(), u"Software");
        EXPECT_TRUE(software.ok());
        Result<CreatedKey> program = registry.CreateKey(*software, u"Tessarinth");
        EXPECT_TRUE(program.ok());
        registry.CloseKey(*software);
        return program->key;
    }

    TempFolder folder_;
};

TEST_F(RegistryTest, FreshHiveHoldsSoftwareAndNothingIsWrittenByLooking) {
    Registry registry = Open();
    EXPECT_FALSE(registry.DamageNotice().has_value());
    EXPECT_TRUE(registry.OpenKey(Registry::CurrentUser(), u"Software").ok());
    const Result<KeyHandle> missing = registry.OpenKey(Registry::CurrentUser(), u"Missing");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "the registry key Missing does not exist");
    EXPECT_FALSE(FileExists(File()));
}

TEST_F(RegistryTest, CreateMakesTheKeyOnceAndItPersists) {
    {
        Registry registry = Open();
        const KeyHandle software = *registry.OpenKey(Registry::CurrentUser(), u"Software");
        const Result<CreatedKey> first = registry.CreateKey(software, u"Tessarinth");
        ASSERT_TRUE(first.ok());
        EXPECT_TRUE(first->created);
        const Result<CreatedKey> again = registry.CreateKey(software, u"TESSARINTH");
        ASSERT_TRUE(again.ok());
        EXPECT_FALSE(again->created);
        EXPECT_NE(again->key, first->key);
        EXPECT_EQ(testing_support::ModeOf(File()), 0600u);
    }
    Registry reopened = Open();
    const KeyHandle software = *reopened.OpenKey(Registry::CurrentUser(), u"software");
    EXPECT_TRUE(reopened.OpenKey(software, u"tessarinth").ok());
    // The first spelling is the one kept.
    EXPECT_NE(ReadBytes(File()).find("\"Tessarinth\""), std::string::npos);
    EXPECT_EQ(ReadBytes(File()).find("TESSARINTH"), std::string::npos);
}

TEST_F(RegistryTest, FollowsWhatAnotherProgramSavesAndNotItsOwnSaves) {
    Registry running = Open();
    const KeyHandle key = ProgramKey(running);
    ASSERT_TRUE(running.WriteNumber(key, u"SyncMinutes", 15).ok());
    running.CloseKey(key);
    EXPECT_FALSE(*running.FollowFile());  // its own save is nothing new

    // Another program (the CLI) saves a new value in the same second.
    {
        Registry terminal = Open();
        const KeyHandle other = ProgramKey(terminal);
        ASSERT_TRUE(terminal.WriteNumber(other, u"SyncMinutes", 1).ok());
    }
    const Result<bool> followed = running.FollowFile();
    ASSERT_TRUE(followed.ok());
    EXPECT_TRUE(*followed);
    EXPECT_FALSE(*running.FollowFile());
    const KeyHandle again = ProgramKey(running);
    uint32_t minutes = 0;
    EXPECT_EQ(running.ReadNumber(again, u"SyncMinutes", minutes), ReadStatus::Ok);
    EXPECT_EQ(minutes, 1u);
    running.CloseKey(again);

    // A file half written by hand is left where it is, and what was read stays.
    const std::string good = ReadBytes(File());
    WriteBytes(File(), good.substr(0, good.size() / 2));
    const Result<bool> broken = running.FollowFile();
    ASSERT_FALSE(broken.ok());
    EXPECT_NE(broken.error().message.find("the settings in use stay"), std::string::npos);
    EXPECT_EQ(ReadBytes(File()), good.substr(0, good.size() / 2));
    const KeyHandle kept = ProgramKey(running);
    EXPECT_EQ(running.ReadNumber(kept, u"SyncMinutes", minutes), ReadStatus::Ok);
    EXPECT_EQ(minutes, 1u);
    running.CloseKey(kept);
    EXPECT_FALSE(*running.FollowFile());  // said once, until it changes again

    // A pipe put in its place is not waited on.
    std::filesystem::remove(File());
    ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);
    EXPECT_FALSE(running.FollowFile().ok());
    const KeyHandle stays = ProgramKey(running);
    EXPECT_EQ(running.ReadNumber(stays, u"SyncMinutes", minutes), ReadStatus::Ok);
    EXPECT_EQ(minutes, 1u);
    running.CloseKey(stays);

    // A removed file is an empty registry: every setting takes its default.
    std::filesystem::remove(File());
    EXPECT_TRUE(*running.FollowFile());
    EXPECT_TRUE(running.OpenKey(Registry::CurrentUser(), u"Software").ok());
    const Result<KeyHandle> software = running.OpenKey(Registry::CurrentUser(), u"Software");
    EXPECT_FALSE(running.OpenKey(*software, u"Tessarinth").ok());
}

TEST_F(RegistryTest, KeyNamesThatCannotBeOneStepAreRefused) {
    Registry registry = Open();
    EXPECT_FALSE(registry.CreateKey(Registry::CurrentUser(), u"").ok());
    EXPECT_FALSE(registry.CreateKey(Registry::CurrentUser(), u"Software\\Tessarinth").ok());
    EXPECT_FALSE(FileExists(File()));
}

TEST_F(RegistryTest, ClosedHandlesNoLongerWork) {
    Registry registry = Open();
    const KeyHandle key = ProgramKey(registry);
    ASSERT_TRUE(registry.WriteNumber(key, u"n", 1).ok());
    registry.CloseKey(key);
    uint32_t number = 7;
    EXPECT_EQ(registry.ReadNumber(key, u"n", number), ReadStatus::Unreadable);
    EXPECT_EQ(number, 7u);
    EXPECT_FALSE(registry.WriteNumber(key, u"n", 2).ok());
    EXPECT_FALSE(registry.OpenKey(key, u"x").ok());
}

TEST_F(RegistryTest, TypedReadsTellMissingFromUnreadable) {
    Registry registry = Open();
    const KeyHandle key = ProgramKey(registry);
    ASSERT_TRUE(registry.WriteString(key, u"Text", u"abc").ok());
    ASSERT_TRUE(registry.WriteNumber(key, u"Number", 42).ok());

    uint32_t number = 7;
    std::u16string text = u"default";
    EXPECT_EQ(registry.ReadNumber(key, u"Absent", number), ReadStatus::Missing);
    EXPECT_EQ(registry.ReadString(key, u"Absent", text, 256), ReadStatus::Missing);
    EXPECT_EQ(registry.ReadNumber(key, u"Text", number), ReadStatus::Unreadable);
    EXPECT_EQ(registry.ReadString(key, u"Number", text, 256), ReadStatus::Unreadable);
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(text, u"default");

    EXPECT_EQ(registry.ReadNumber(key, u"NUMBER", number), ReadStatus::Ok);
    EXPECT_EQ(number, 42u);
    EXPECT_EQ(registry.ReadString(key, u"text", text, 256), ReadStatus::Ok);
    EXPECT_EQ(text, u"abc");
}

TEST_F(RegistryTest, StringsMustFitTheBufferWithTheirTerminatingZero) {
    Registry registry = Open();
    const KeyHandle key = ProgramKey(registry);
    ASSERT_TRUE(registry.WriteString(key, u"Fits", std::u16string(255, u'x')).ok());
    ASSERT_TRUE(registry.WriteString(key, u"TooLong", std::u16string(256, u'x')).ok());
    std::u16string text = u"default";
    EXPECT_EQ(registry.ReadString(key, u"TooLong", text, 256), ReadStatus::Unreadable);
    EXPECT_EQ(text, u"default");
    EXPECT_EQ(registry.ReadString(key, u"Fits", text, 255), ReadStatus::Unreadable);
    EXPECT_EQ(registry.ReadString(key, u"Fits", text, 256), ReadStatus::Ok);
    EXPECT_EQ(text.size(), 255u);
}

TEST_F(RegistryTest, ValuesSurviveReopeningAndKeepTheirFirstSpelling) {
    {
        Registry registry = Open();
        const KeyHandle key = ProgramKey(registry);
        ASSERT_TRUE(registry.WriteString(key, u"HoliDay", u"祝日・振替休日😀").ok());
        ASSERT_TRUE(registry.WriteNumber(key, u"Max", 0xFFFFFFFF).ok());
        ASSERT_TRUE(registry.WriteNumber(key, u"Kind", 5).ok());
        ASSERT_TRUE(registry.WriteString(key, u"KIND", u"now text").ok());
        ASSERT_TRUE(registry.WriteString(key, u"max", u"").ok());
        ASSERT_TRUE(registry.WriteNumber(key, u"max", 0xFFFFFFFF).ok());
    }
    Registry registry = Open();
    const KeyHandle key = ProgramKey(registry);
    std::u16string text;
    uint32_t number = 0;
    EXPECT_EQ(registry.ReadString(key, u"holiday", text, 256), ReadStatus::Ok);
    EXPECT_EQ(text, u"祝日・振替休日😀");
    EXPECT_EQ(registry.ReadString(key, u"Kind", text, 256), ReadStatus::Ok);
    EXPECT_EQ(text, u"now text");
    EXPECT_EQ(registry.ReadNumber(key, u"Max", number), ReadStatus::Ok);
    EXPECT_EQ(number, 0xFFFFFFFFu);
    EXPECT_EQ(registry.ValueNames(key), (std::vector<std::u16string>{u"HoliDay", u"Kind", u"Max"}));
}

TEST_F(RegistryTest, BrokenUtf16IsRefusedRatherThanSavedUnreadably) {
    Registry registry = Open();
    const KeyHandle key = ProgramKey(registry);
    const std::u16string lone(1, char16_t{0xD800});
    EXPECT_FALSE(registry.WriteString(key, u"Text", lone).ok());
    EXPECT_FALSE(registry.WriteNumber(key, lone, 1).ok());
    EXPECT_TRUE(registry.ValueNames(key).empty());
}

// Damaged files: each is kept aside byte for byte and the registry starts empty.
class DamagedRegistry : public RegistryTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(DamagedRegistry, IsKeptAsideAndTheRegistryStartsEmpty) {
    const std::string damaged = GetParam();
    WriteBytes(File(), damaged);
    Registry registry = Open();

    const std::filesystem::path kept = folder_.Path() / kKeptName;
    ASSERT_TRUE(registry.DamageNotice().has_value());
    EXPECT_NE(registry.DamageNotice()->find(kept.string()), std::string::npos)
        << *registry.DamageNotice();
    EXPECT_EQ(registry.DamageNotice()->find('\n'), std::string::npos);
    EXPECT_EQ(ReadBytes(kept), damaged);
    EXPECT_FALSE(FileExists(File()));

    const KeyHandle key = ProgramKey(registry);
    EXPECT_TRUE(registry.ValueNames(key).empty());
    ASSERT_TRUE(registry.WriteNumber(key, u"n", 1).ok());
    EXPECT_EQ(ReadBytes(kept), damaged);
    EXPECT_EQ(ListFolder(folder_.Path()), std::string("registry.json ") + kKeptName);
    EXPECT_FALSE(Open().DamageNotice().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Contents, DamagedRegistry,
    ::testing::Values(std::string("\x00\xff\xfe garbage\n", 12),
                      R"({"format": "tessarinth-registry", "version": 1, "root": {"keys": {"Soft)",
                      R"({"format": "tessarinth-registry", "version": 1, "root": ["Software"]})",
                      R"({"format": "another-program", "version": 1, "root": {}})", ""));

// A registry as it should be but larger than any registry is: kept aside unread, as garbage is.
TEST_F(RegistryTest, AFileLargerThanAnyRegistryIsKeptAsideUnread) {
    const std::string oversized =
        std::string(R"({"format": "tessarinth-registry", "version": 1, "root": {}})") +
        std::string(kMaxRegistryFileOctets, ' ');
    WriteBytes(File(), oversized);
    Registry registry = Open();
    ASSERT_TRUE(registry.DamageNotice().has_value());
    EXPECT_NE(registry.DamageNotice()->find("larger than 1 MiB (" +
                                            std::to_string(oversized.size()) + " bytes)"),
              std::string::npos)
        << *registry.DamageNotice();
    EXPECT_TRUE(ReadBytes(folder_.Path() / kKeptName) == oversized);
    EXPECT_FALSE(FileExists(File()));
}

// A readable file with pieces the registry cannot read: those pieces are read past, the rest
// is used, and a save writes them back as they were.
constexpr const char* kUntidyFile = R"({
  "format": "tessarinth-registry", "version": 1, "comment": ["written", "by hand"],
  "root": {"keys": {"Software": {"keys": {"Tessarinth": {"keys": {}, "values": {
      "ccToday": {"type": "number", "data": 4294967296},
      "Blob": {"type": "binary", "data": "AAE="},
      "Text": {"type": "string", "data": "読める"}}},
    "Broken": "not a key"}, "values": {}, "acl": {"owner": 1000}}}, "values": {}}})";

TEST_F(RegistryTest, WhatCannotBeReadIsReadPastAndWrittenBack) {
    WriteBytes(File(), kUntidyFile);
    Registry registry = Open();
    EXPECT_FALSE(registry.DamageNotice().has_value());
    const KeyHandle key = ProgramKey(registry);
    uint32_t number = 7;
    std::u16string text;
    EXPECT_EQ(registry.ReadNumber(key, u"ccToday", number), ReadStatus::Unreadable);
    EXPECT_EQ(registry.ReadString(key, u"Blob", text, 256), ReadStatus::Unreadable);
    EXPECT_EQ(registry.ReadString(key, u"Text", text, 256), ReadStatus::Ok);
    EXPECT_EQ(text, u"読める");
    EXPECT_EQ(registry.ValueNames(key),
              (std::vector<std::u16string>{u"Blob", u"ccToday", u"Text"}));
    const Result<KeyHandle> software = registry.OpenKey(Registry::CurrentUser(), u"Software");
    EXPECT_FALSE(registry.OpenKey(*software, u"Broken").ok());

    // A write replaces an unreadable value; everything else comes back as it was.
    ASSERT_TRUE(registry.WriteNumber(key, u"ccToday", 0x123456).ok());
    const std::string saved = ReadBytes(File());
    for (const char* kept : {R"("comment")", R"("by hand")", R"("binary")", R"("AAE=")",
                             R"("Broken": "not a key")", R"("acl")", R"("owner": 1000)"}) {
        EXPECT_NE(saved.find(kept), std::string::npos) << kept << "\n" << saved;
    }
    Registry reopened = Open();
    const KeyHandle again = ProgramKey(reopened);
    EXPECT_EQ(reopened.ReadNumber(again, u"ccToday", number), ReadStatus::Ok);
    EXPECT_EQ(number, 0x123456u);
    EXPECT_EQ(reopened.ReadString(again, u"Blob", text, 256), ReadStatus::Unreadable);
}

TEST_F(RegistryTest, SeveralValuesAreWrittenWithOneSaveOrNotAtAll) {
    Registry registry = Open();
    const KeyHandle key = ProgramKey(registry);
    ASSERT_TRUE(registry.WriteNumber(key, u"Kept", 1).ok());
    const std::string before = ReadBytes(File());
    const std::vector<Registry::NamedWrite> writes{
        {u"Text", std::u16string(3000, u'x')}, {u"Kept", 2u}, {u"Number", 3u}};
    {
        // Room for the file as it is, not for the file with all three.
        FileSizeLimit full(static_cast<rlim_t>(before.size() + 100));
        EXPECT_FALSE(registry.WriteValues(key, writes).ok());
    }
    EXPECT_EQ(ReadBytes(File()), before);
    EXPECT_EQ(registry.ValueNames(key), std::vector<std::u16string>{u"Kept"});
    uint32_t number = 0;
    EXPECT_EQ(registry.ReadNumber(key, u"Kept", number), ReadStatus::Ok);
    EXPECT_EQ(number, 1u);

    ASSERT_TRUE(registry.WriteValues(key, writes).ok());
    Registry reopened = Open();
    EXPECT_EQ(reopened.ValueNames(ProgramKey(reopened)).size(), 3u);
    EXPECT_FALSE(registry.WriteValues(key, {{u"Bad", std::u16string(1, char16_t{0xD800})}}).ok());
}

TEST_F(RegistryTest, DamageTwiceInOneSecondKeepsBothFiles) {
    WriteBytes(File(), "first");
    EXPECT_TRUE(Open().DamageNotice().has_value());
    WriteBytes(File(), "second");
    const Registry registry = Open();
    ASSERT_TRUE(registry.DamageNotice().has_value());
    EXPECT_NE(registry.DamageNotice()->find(std::string(kKeptName) + "-2"), std::string::npos);
    EXPECT_EQ(ReadBytes(folder_.Path() / kKeptName), "first");
    EXPECT_EQ(ReadBytes(folder_.Path() / (std::string(kKeptName) + "-2")), "second");
}

TEST_F(RegistryTest, FailedSaveLeavesTheRegistryAsItWas) {
    // A file where the registry's folder should be: nothing can be saved.
    WriteBytes(folder_.Path() / "plain", "x");
    Registry registry = Registry::Open(folder_.Path() / "plain" / "registry.json", kClock);
    const KeyHandle software = *registry.OpenKey(Registry::CurrentUser(), u"Software");
    const Result<CreatedKey> created = registry.CreateKey(software, u"Tessarinth");
    ASSERT_FALSE(created.ok());
    EXPECT_NE(created.error().message.find("plain"), std::string::npos);
    EXPECT_FALSE(registry.OpenKey(software, u"Tessarinth").ok());
    EXPECT_FALSE(registry.WriteNumber(software, u"n", 1).ok());
    EXPECT_TRUE(registry.ValueNames(software).empty());
}

TEST(RegistryPermissions, WriteIntoReadOnlyFolderFailsAndKeepsTheFile) {
    testing_support::WithoutRootPowers unprivileged;
    if (!unprivileged.PermissionsApply()) {
        GTEST_SKIP() << "cannot drop root powers here";
    }
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path file = folder.Path() / "registry.json";
    Registry registry = Registry::Open(file, kClock);
    const KeyHandle software = *registry.OpenKey(Registry::CurrentUser(), u"Software");
    ASSERT_TRUE(registry.WriteNumber(software, u"n", 1).ok());
    const std::string before = ReadBytes(file);
    {
        testing_support::ReadOnlyFolder readOnly(folder.Path());
        EXPECT_FALSE(registry.WriteNumber(software, u"n", 2).ok());
        EXPECT_FALSE(registry.WriteString(software, u"new", u"x").ok());
        EXPECT_FALSE(registry.CreateKey(software, u"Tessarinth").ok());
    }
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(ListFolder(folder.Path()), "registry.json");
    uint32_t number = 0;
    EXPECT_EQ(registry.ReadNumber(software, u"n", number), ReadStatus::Ok);
    EXPECT_EQ(number, 1u);
    EXPECT_EQ(registry.ValueNames(software), std::vector<std::u16string>{u"n"});
}

TEST(RegistryPermissions, UnreadableFileIsKeptAsideLikeADamagedOne) {
    testing_support::WithoutRootPowers unprivileged;
    if (!unprivileged.PermissionsApply()) {
        GTEST_SKIP() << "cannot drop root powers here";
    }
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path file = folder.Path() / "registry.json";
    WriteBytes(file, "secret");
    chmod(file.c_str(), 0);
    const Registry registry = Registry::Open(file, kClock);
    ASSERT_TRUE(registry.DamageNotice().has_value());
    EXPECT_NE(registry.DamageNotice()->find("unreadable"), std::string::npos);
    EXPECT_NE(registry.DamageNotice()->find(kKeptName), std::string::npos);
    EXPECT_TRUE(FileExists(folder.Path() / kKeptName));
    EXPECT_FALSE(FileExists(file));
}

TEST(RegistryPermissions, UnreadableFileThatCannotMoveIsNeverOverwritten) {
    testing_support::WithoutRootPowers unprivileged;
    if (!unprivileged.PermissionsApply()) {
        GTEST_SKIP() << "cannot drop root powers here";
    }
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path file = folder.Path() / "registry.json";
    WriteBytes(file, "secret");
    chmod(file.c_str(), 0);
    {
        testing_support::ReadOnlyFolder readOnly(folder.Path());
        Registry registry = Registry::Open(file, kClock);
        ASSERT_TRUE(registry.DamageNotice().has_value());
        EXPECT_NE(registry.DamageNotice()->find("could not be moved aside"), std::string::npos)
            << *registry.DamageNotice();
        EXPECT_NE(registry.DamageNotice()->find(file.string()), std::string::npos);
        const KeyHandle software = *registry.OpenKey(Registry::CurrentUser(), u"Software");
        // Even once the folder is writable again, saving would replace the kept file.
        chmod(folder.Path().c_str(), 0700);
        EXPECT_FALSE(registry.WriteNumber(software, u"n", 1).ok());
    }
    chmod(file.c_str(), 0600);
    EXPECT_EQ(ReadBytes(file), "secret");
    EXPECT_EQ(ListFolder(folder.Path()), "registry.json");
}

}  // namespace
}  // namespace platform::registry
