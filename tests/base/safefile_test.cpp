#include "base/safefile.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include "tests/support/testsupport.h"

namespace {

int FilesIn(const std::string& folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

} // namespace

TEST(WriteFileAtomically, CreatesAndReplaces) {
    TTempDir dir;
    std::string path = dir.File("a.txt");
    ASSERT_TRUE(WriteFileAtomically(path, "first"));
    EXPECT_EQ(ReadFileBytes(path), "first");
    ASSERT_TRUE(WriteFileAtomically(path, "second, longer"));
    EXPECT_EQ(ReadFileBytes(path), "second, longer");
    EXPECT_EQ(FilesIn(dir.Path()), 1) << "no temporary file may stay behind";
}

TEST(WriteFileAtomically, FailedWriteKeepsTheOldFile) {
    TTempDir dir;
    std::string path = dir.File("keep.txt");
    WriteFileBytes(path, "precious");
    int calls = 0;
    SetWriteHook([&](int, const void*, std::size_t size) -> ssize_t {
        // Write half of the first block, then fail as a full disk does.
        if (++calls == 1) {
            return static_cast<ssize_t>(size / 2);
        }
        errno = ENOSPC;
        return -1;
    });
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, std::string(1000, 'x'), &error));
    SetWriteHook(nullptr);
    EXPECT_NE(error.find("No space"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(path), "precious");
    EXPECT_EQ(FilesIn(dir.Path()), 1);
}

TEST(WriteFileAtomically, RefusesMissingFoldersAndNonRegularTargets) {
    TTempDir dir;
    EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/folder.txt"), "x"));
    EXPECT_FALSE(WriteFileAtomically("", "x"));
    EXPECT_FALSE(WriteFileAtomically(dir.Path(), "x")) << "a folder is not replaced";
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
}

TEST(WriteFileAtomically, FullFileSystemKeepsTheOldFile) {
    TTempDir dir;
    std::string mountPoint = dir.File("small");
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    }
    std::string path = mountPoint + "/data.txt";
    ASSERT_TRUE(WriteFileAtomically(path, std::string(20000, 'a')));
    EXPECT_FALSE(WriteFileAtomically(path, std::string(200000, 'b')));
    EXPECT_EQ(ReadFileBytes(path), std::string(20000, 'a'));
    EXPECT_EQ(FilesIn(mountPoint), 1);
    ::umount(mountPoint.c_str());
}

TEST(FolderOf, TakesTheNameUpToItsLastSlash) {
    EXPECT_EQ(FolderOf("/home/user/a.png"), "/home/user");
    EXPECT_EQ(FolderOf("/a.png"), "/");
    EXPECT_EQ(FolderOf("a.png"), "");
    EXPECT_EQ(FolderOf("dir/sub/"), "dir/sub");
}
