// The conflict archive keeps every losing version whole, under a name of its own.
#include "sync/conflict_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "tests/support/temp_folder.h"

namespace calendar_sync {
namespace {

constexpr int64_t kNow = 1796638500;  // 2026-12-07 10:15:00 UTC

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ConflictArchiveTest, VersionsOfTheSameMomentNeverReplaceEachOther) {
    testing_support::TempFolder folder;
    ConflictArchive archive(folder.Path() / "conflicts");
    auto first = archive.Keep("meeting@test", "server", "FIRST", kNow);
    auto second = archive.Keep("meeting@test", "server", "SECOND", kNow);
    ASSERT_TRUE(first.ok()) << first.error().message;
    ASSERT_TRUE(second.ok()) << second.error().message;
    EXPECT_EQ(first->filename(), "20261207-101500-meeting@test-server.ics");
    EXPECT_EQ(second->filename(), "20261207-101500-meeting@test-server-2.ics");
    EXPECT_EQ(Read(*first), "FIRST");
    EXPECT_EQ(Read(*second), "SECOND");
}

TEST(ConflictArchiveTest, AUidCannotLeaveTheFolderAndTheFileIsTheUsersAlone) {
    testing_support::TempFolder folder;
    ConflictArchive archive(folder.Path() / "conflicts");
    auto kept = archive.Keep("../../etc/passwd", "here", "TEXT", kNow);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept->parent_path(), folder.Path() / "conflicts");
    EXPECT_EQ(kept->filename(), "20261207-101500-.._.._etc_passwd-here.ics");
    struct stat info {};
    ASSERT_EQ(stat(kept->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(ConflictArchiveTest, AFolderThatCannotBeMadeIsAnError) {
    testing_support::TempFolder folder;
    std::ofstream(folder.Path() / "file") << "x";
    ConflictArchive archive(folder.Path() / "file" / "conflicts");
    EXPECT_FALSE(archive.Keep("a", "here", "TEXT", kNow).ok());
}

}  // namespace
}  // namespace calendar_sync
