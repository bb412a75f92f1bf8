#include "base/safefile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

namespace {

struct TPathCase {
    const char* name;
    // Makes the path to save under `dir`; returns it.
    std::function<std::string(const TTempDir& dir)> make;
    // Checks what the path is after the save.
    std::function<void(const TTempDir& dir, const std::string& path)> check;
};

void ExpectLinkTo(const std::string& link, const std::string& target) {
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << link << " must stay a link";
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), target);
}

} // namespace

// A save through a link replaces the file at the end of the link and leaves
// the links as they were; a file with a second name is written in place so
// that both names still show one file.
TEST(WriteFileAtomically, KeepsWhatThePathIs) {
    const std::vector<TPathCase> cases = {
        {"plain file",
         [](const TTempDir& dir) {
             WriteFileBytes(dir.File("a.txt"), "old");
             return dir.File("a.txt");
         },
         [](const TTempDir& dir, const std::string&) { EXPECT_EQ(FilesIn(dir.Path()), 1); }},
        {"link",
         [](const TTempDir& dir) {
             WriteFileBytes(dir.File("a.txt"), "old");
             std::filesystem::create_symlink("a.txt", dir.File("link"));
             return dir.File("link");
         },
         [](const TTempDir& dir, const std::string& path) {
             ExpectLinkTo(path, "a.txt");
             EXPECT_EQ(ReadFileBytes(dir.File("a.txt")), "new");
             EXPECT_EQ(FilesIn(dir.Path()), 2);
         }},
        {"chain of links into another folder",
         [](const TTempDir& dir) {
             std::filesystem::create_directory(dir.File("sub"));
             WriteFileBytes(dir.File("sub/a.txt"), "old");
             std::filesystem::create_symlink("a.txt", dir.File("sub/inner"));
             std::filesystem::create_symlink("sub/inner", dir.File("outer"));
             return dir.File("outer");
         },
         [](const TTempDir& dir, const std::string& path) {
             ExpectLinkTo(path, "sub/inner");
             ExpectLinkTo(dir.File("sub/inner"), "a.txt");
             EXPECT_EQ(ReadFileBytes(dir.File("sub/a.txt")), "new");
             EXPECT_EQ(FilesIn(dir.File("sub")), 2) << "the temporary file was in sub/";
         }},
        {"absolute link to a file not there yet",
         [](const TTempDir& dir) {
             std::filesystem::create_symlink(dir.File("later.txt"), dir.File("link"));
             return dir.File("link");
         },
         [](const TTempDir& dir, const std::string& path) {
             ExpectLinkTo(path, dir.File("later.txt"));
             EXPECT_EQ(ReadFileBytes(dir.File("later.txt")), "new");
         }},
        {"hard link",
         [](const TTempDir& dir) {
             WriteFileBytes(dir.File("a.txt"), "older and longer");
             std::filesystem::create_hard_link(dir.File("a.txt"), dir.File("b.txt"));
             return dir.File("b.txt");
         },
         [](const TTempDir& dir, const std::string& path) {
             EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
             EXPECT_TRUE(std::filesystem::equivalent(path, dir.File("a.txt")));
             EXPECT_EQ(ReadFileBytes(dir.File("a.txt")), "new");
         }},
        {"name of 255 bytes", [](const TTempDir& dir) { return dir.File(std::string(255, 'n')); },
         [](const TTempDir& dir, const std::string&) { EXPECT_EQ(FilesIn(dir.Path()), 1); }},
    };
    for (const TPathCase& test : cases) {
        SCOPED_TRACE(test.name);
        TTempDir dir;
        std::string path = test.make(dir);
        std::string error;
        ASSERT_TRUE(WriteFileAtomically(path, "new", &error)) << error;
        EXPECT_EQ(ReadFileBytes(path), "new");
        test.check(dir, path);
    }
}

TEST(WriteFileAtomically, KeepsTheModeOwnerAndGroupOfAReplacedFile) {
    TTempDir dir;
    std::string path = dir.File("a.txt");
    WriteFileBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 04751), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
        ASSERT_EQ(::chmod(path.c_str(), 04751), 0);
    }
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error)) << error;
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 04751u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(ReadFileBytes(path), "new");
}

// New files get 0666 less the umask even while other threads save: reading
// the umask by setting it would let one thread see another's zero.
TEST(WriteFileAtomically, NewFilesFollowTheUmaskFromManyThreads) {
    TTempDir dir;
    const mode_t previous = ::umask(022);
    std::vector<std::thread> threads;
    for (int t = 0; t < 16; ++t) {
        threads.emplace_back([&dir, t] {
            for (int i = 0; i < 20; ++i) {
                WriteFileAtomically(dir.File(std::to_string(t) + "-" + std::to_string(i)), "x");
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ::umask(previous);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        struct stat info;
        ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0644u) << entry.path();
        EXPECT_EQ(entry.path().filename().string().rfind(".zm-", 0), std::string::npos);
        ++files;
    }
    EXPECT_EQ(files, 16 * 20);
}

TEST(WriteFileAtomically, RefusesAFileTheUserMayNotWrite) {
    TTempDir dir;
    std::string path = dir.File("locked.txt");
    WriteFileBytes(path, "locked");
    std::string asked;
    SetWritableHook([&](const std::string& file) {
        asked = file;
        return false;
    });
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, "new", &error));
    SetWritableHook(nullptr);
    EXPECT_EQ(asked, path);
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(path), "locked");
    EXPECT_EQ(FilesIn(dir.Path()), 1);
}

// The permissions of another user, for which root needs a child process that
// gives up its rights: a file the user may write in a folder that takes no
// new file is written in place; a file the user may not write is refused
// even in a folder where renaming over it would be allowed.
TEST(WriteFileAtomically, FollowsTheUsersPermissions) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    struct TCase {
        const char* name;
        mode_t folderMode;
        mode_t fileMode;
        bool saved;
    };
    const std::vector<TCase> cases = {
        {"writable file in a locked folder", 0755, 0666, true},
        {"read-only file in an open folder", 0777, 0444, false},
        {"read-only file in a locked folder", 0755, 0444, false},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.name);
        TTempDir dir;
        ASSERT_EQ(::chmod(dir.Path().c_str(), test.folderMode), 0);
        const std::string path = dir.File("file.txt");
        WriteFileBytes(path, "old content");
        ASSERT_EQ(::chmod(path.c_str(), test.fileMode), 0);
        struct stat before;
        ASSERT_EQ(::stat(path.c_str(), &before), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(!dropped ? 2 : WriteFileAtomically(path, "new") ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2) << "cannot become another user";
        EXPECT_EQ(WEXITSTATUS(status) == 0, test.saved);
        EXPECT_EQ(ReadFileBytes(path), test.saved ? "new" : "old content");
        struct stat after;
        ASSERT_EQ(::stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(FilesIn(dir.Path()), 1);
    }
}

// Devices and FIFOs are written as they are, never replaced by a plain file.
TEST(WriteFileAtomically, WritesDevicesAndFifosDirectly) {
    EXPECT_TRUE(WriteFileAtomically("/dev/null", "gone"));
    struct stat info;
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    TTempDir dir;
    std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // An open reading end lets the write go through without waiting, and
    // the pipe holds what was written until it is read.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string error;
    EXPECT_TRUE(WriteFileAtomically(fifo, "through the pipe", &error)) << error;
    char buffer[64];
    const ssize_t got = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), "through the pipe");
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(FilesIn(dir.Path()), 1);
}

// /dev/fd/N continues the open descriptor where it stands, as /dev/stdout
// continues a redirected standard output.
TEST(WriteFileAtomically, NameOfADescriptorWritesToIt) {
    TTempDir dir;
    std::string path = dir.File("out.txt");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "head,", 5), 5);
    std::string error;
    EXPECT_TRUE(WriteFileAtomically("/dev/fd/" + std::to_string(fd), "tail", &error)) << error;
    ::close(fd);
    EXPECT_EQ(ReadFileBytes(path), "head,tail");
    EXPECT_FALSE(WriteFileAtomically("/dev/fd/987", "x")) << "a closed descriptor fails";
}

TEST(FolderOf, TakesTheNameUpToItsLastSlash) {
    EXPECT_EQ(FolderOf("/home/user/a.png"), "/home/user");
    EXPECT_EQ(FolderOf("/a.png"), "/");
    EXPECT_EQ(FolderOf("a.png"), "");
    EXPECT_EQ(FolderOf("dir/sub/"), "dir/sub");
}
