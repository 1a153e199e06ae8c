#include "platform/files/file_operations.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

#include "platform/files/readable_file.h"
#include "tests/support/temp_folder.h"

namespace platform {
namespace {

using testing_support::ListFolder;
using testing_support::ModeOf;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

class FileOperations : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.Made()); }
    std::filesystem::path In(const std::string& name) const { return folder_.Path() / name; }

    TempFolder folder_;
};

TEST_F(FileOperations, ReplaceCreatesPrivateFileAndFolders) {
    const std::filesystem::path target = In("a/b/record.dat");
    ASSERT_TRUE(ReplaceFileAtomically(target, "first").ok());
    EXPECT_EQ(ReadBytes(target), "first");
    EXPECT_EQ(ModeOf(target), 0600u);
    EXPECT_EQ(ModeOf(In("a")), 0700u);
    EXPECT_EQ(ModeOf(In("a/b")), 0700u);
    EXPECT_EQ(ListFolder(In("a/b")), "record.dat");
}

TEST_F(FileOperations, ReplaceSwapsContentAndLeavesNoTemporary) {
    const std::filesystem::path target = In("record.dat");
    WriteBytes(target, "old content that is longer");
    ASSERT_TRUE(ReplaceFileAtomically(target, "new").ok());
    EXPECT_EQ(ReadBytes(target), "new");
    ASSERT_TRUE(ReplaceFileAtomically(target, "").ok());
    EXPECT_EQ(ReadBytes(target), "");
    EXPECT_EQ(ListFolder(folder_.Path()), "record.dat");
}

TEST_F(FileOperations, FullDiskKeepsTheOldFileAndRemovesTheTemporary) {
    const std::filesystem::path target = In("record.dat");
    WriteBytes(target, "old");
    // A file size limit fails the write part way, as a full disk would.
    std::fflush(nullptr);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result<void> result = ReplaceFileAtomically(target, std::string(64 * 1024, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find("cannot write " + target.string() + ".tmp-"),
              std::string::npos)
        << result.error().message;
    EXPECT_NE(result.error().message.find("File too large"), std::string::npos);
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(ListFolder(folder_.Path()), "record.dat");
}

TEST_F(FileOperations, ParentThatIsAFileFailsAndSaysWhere) {
    WriteBytes(In("plain"), "not a folder");
    const Result<void> result = ReplaceFileAtomically(In("plain/sub/record.dat"), "x");
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find(In("plain").string()), std::string::npos)
        << result.error().message;
    EXPECT_EQ(ReadBytes(In("plain")), "not a folder");
    EXPECT_EQ(ListFolder(folder_.Path()), "plain");
}

TEST_F(FileOperations, FailedRenameRemovesTheTemporary) {
    std::filesystem::create_directory(In("target"));
    WriteBytes(In("target/inside"), "kept");
    const Result<void> result = ReplaceFileAtomically(In("target"), "x");
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find("cannot rename"), std::string::npos);
    EXPECT_EQ(ReadBytes(In("target/inside")), "kept");
    EXPECT_EQ(ListFolder(folder_.Path()), "target");
}

TEST(FileOperationsReadOnly, ReadOnlyFolderKeepsTheOldFile) {
    testing_support::WithoutRootPowers unprivileged;
    if (!unprivileged.PermissionsApply()) {
        GTEST_SKIP() << "cannot drop root powers here";
    }
    TempFolder folder;
    ASSERT_TRUE(folder.Made());
    const std::filesystem::path target = folder.Path() / "record.dat";
    WriteBytes(target, "old");
    Result<void> result;
    {
        testing_support::ReadOnlyFolder readOnly(folder.Path());
        result = ReplaceFileAtomically(target, "new");
    }
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find("Permission denied"), std::string::npos)
        << result.error().message;
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(ListFolder(folder.Path()), "record.dat");
}

TEST_F(FileOperations, ReadsShortRecordsAtTheEndOfTheFile) {
    WriteBytes(In("ten.dat"), "0123456789");
    Result<ReadableFile> file = ReadableFile::Open(In("ten.dat"));
    ASSERT_TRUE(file.ok());
    char record[4] = {};
    EXPECT_EQ(file->Read(record, 4), 4u);
    EXPECT_EQ(std::string(record, 4), "0123");
    EXPECT_EQ(file->Read(record, 4), 4u);
    EXPECT_EQ(file->Read(record, 4), 2u);
    EXPECT_EQ(std::string(record, 2), "89");
    EXPECT_EQ(file->Read(record, 4), 0u);
    EXPECT_TRUE(file->Status().ok());
}

// A folder, a device that never ends and a FIFO nobody writes to are refused at once, naming
// the cause; a pipe is read only where the caller takes one.
TEST_F(FileOperations, WhatIsNotARegularFileIsRefusedBeforeItIsRead) {
    std::filesystem::create_directory(In("folder"));
    ASSERT_EQ(mkfifo(In("fifo").c_str(), 0600), 0);
    for (const std::filesystem::path& path :
         {In("folder"), In("fifo"), std::filesystem::path("/dev/zero")}) {
        const Result<std::string> content = ReadWholeFile(path, 1024 * 1024);
        ASSERT_FALSE(content.ok()) << path;
        EXPECT_EQ(content.error().message, "cannot read " + path.string() + ": not a regular file");
        EXPECT_FALSE(ReadableFile::Open(path).ok());
    }
    EXPECT_FALSE(ReadWholeFile("/dev/zero", 1024, FileKinds::RegularOrPipe).ok());
    EXPECT_FALSE(ReadWholeFile(In("folder"), 1024, FileKinds::RegularOrPipe).ok());
}

TEST_F(FileOperations, AFileLargerThanTheLimitIsRefusedByItsSizeUnread) {
    WriteBytes(In("exact"), std::string(1000, 'e'));
    EXPECT_EQ(ReadWholeFile(In("exact"), 1000).value(), std::string(1000, 'e'));
    const Result<std::string> over = ReadWholeFile(In("exact"), 999);
    ASSERT_FALSE(over.ok());
    EXPECT_EQ(over.error().message,
              "cannot read " + In("exact").string() + ": larger than 999 bytes");
    // Four gigabytes of nothing on disk: refused by its size, never read.
    {
        std::FILE* sparse = std::fopen(In("sparse").c_str(), "w");
        ASSERT_NE(sparse, nullptr);
        ASSERT_EQ(ftruncate(fileno(sparse), off_t{4} << 30), 0);
        std::fclose(sparse);
    }
    EXPECT_FALSE(ReadWholeFile(In("sparse"), 16 * 1024 * 1024).ok());
    // What was read already counts toward the limit.
    Result<ReadableFile> file = ReadableFile::Open(In("exact"));
    ASSERT_TRUE(file.ok());
    char head[10];
    ASSERT_EQ(file->Read(head, sizeof head), sizeof head);
    EXPECT_EQ(ReadToEnd(*file, 1000, std::string(head, sizeof head)).value(),
              std::string(1000, 'e'));
}

TEST_F(FileOperations, AnEndlessPipeIsReadNoFurtherThanTheLimit) {
    ASSERT_EQ(mkfifo(In("pipe").c_str(), 0600), 0);
    const auto oldHandler = std::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> readerGone = false;
    std::thread writer([&] {
        const int descriptor = open(In("pipe").c_str(), O_WRONLY | O_CLOEXEC);
        const std::string block(64 * 1024, 'z');
        // Writes until the reader has gone: far more than the limit, were it all read.
        while (descriptor >= 0 && write(descriptor, block.data(), block.size()) > 0) {
        }
        readerGone = true;
        close(descriptor);
    });
    const Result<std::string> content =
        ReadWholeFile(In("pipe"), 300 * 1024, FileKinds::RegularOrPipe);
    writer.join();
    std::signal(SIGPIPE, oldHandler);
    ASSERT_FALSE(content.ok());
    EXPECT_NE(content.error().message.find("larger than 307200 bytes"), std::string::npos);
    EXPECT_TRUE(readerGone);
}

TEST_F(FileOperations, ReadWholeFileReadsPastOneChunk) {
    std::string big(200 * 1024 + 7, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7);
    }
    WriteBytes(In("big"), big);
    const Result<std::string> content = ReadWholeFile(In("big"), big.size());
    ASSERT_TRUE(content.ok());
    EXPECT_EQ(*content, big);
}

TEST_F(FileOperations, ReadWholeFileReadsAPipeWhoseSizeIsUnknown) {
    ASSERT_EQ(mkfifo(In("pipe").c_str(), 0600), 0);
    const std::string sent(150 * 1024 + 3, 'p');
    std::thread writer([&] { WriteBytes(In("pipe"), sent); });
    const Result<std::string> content =
        ReadWholeFile(In("pipe"), sent.size(), FileKinds::RegularOrPipe);
    writer.join();
    ASSERT_TRUE(content.ok());
    EXPECT_EQ(*content, sent);
}

TEST_F(FileOperations, MissingFilesAreErrorsNamingThePath) {
    const Result<std::string> content = ReadWholeFile(In("absent"), 1024);
    ASSERT_FALSE(content.ok());
    EXPECT_EQ(content.error().message,
              "cannot open " + In("absent").string() + ": No such file or directory");
    EXPECT_FALSE(ReadableFile::Open(In("absent")).ok());
    EXPECT_FALSE(FileExists(In("absent")));

    WriteBytes(In("gone"), "x");
    EXPECT_TRUE(FileExists(In("gone")));
    ASSERT_TRUE(DeleteFile(In("gone")).ok());
    EXPECT_FALSE(FileExists(In("gone")));
    EXPECT_FALSE(DeleteFile(In("gone")).ok());
}

TEST_F(FileOperations, MoveAsideNeverReplacesAKeptFile) {
    WriteBytes(In("f"), "one");
    WriteBytes(In("f.kept"), "older");
    const Result<std::filesystem::path> first = MoveAside(In("f"), ".kept");
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(*first, In("f.kept-2"));
    WriteBytes(In("f"), "two");
    const Result<std::filesystem::path> second = MoveAside(In("f"), ".kept");
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(*second, In("f.kept-3"));
    EXPECT_EQ(ReadBytes(In("f.kept")), "older");
    EXPECT_EQ(ReadBytes(In("f.kept-2")), "one");
    EXPECT_EQ(ReadBytes(In("f.kept-3")), "two");
    EXPECT_FALSE(FileExists(In("f")));
    EXPECT_FALSE(MoveAside(In("f"), ".kept").ok());
}

}  // namespace
}  // namespace platform
