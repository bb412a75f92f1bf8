#include "base/safefile.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "base/translate.h"

namespace {

std::mutex hookMutex;
TWriteHook writeHook;

ssize_t WriteThroughHook(int fd, const void* data, std::size_t size) {
    TWriteHook hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = writeHook;
    }
    if (hook) {
        return hook(fd, data, size);
    }
    return ::write(fd, data, size);
}

std::mutex writableMutex;
TWritableHook writableHook;

bool Writable(const std::string& path) {
    TWritableHook hook;
    {
        std::lock_guard<std::mutex> lock(writableMutex);
        hook = writableHook;
    }
    if (hook) {
        return hook(path);
    }
    return ::access(path.c_str(), W_OK) == 0;
}

bool SetError(std::string* error, const std::string& what, int code) {
    if (error) {
        *error = what + ": " + ErrnoMessage(code);
    }
    return false;
}

// Writes all of `content` to `fd`, continuing after short and interrupted
// writes. Returns 0 or the errno of the failure.
int WriteAll(int fd, std::string_view content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t written = WriteThroughHook(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return ENOSPC;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return 0;
}

// The descriptor a name such as /dev/stdout or /proc/self/fd/3 stands for,
// or -1. Writing to the descriptor itself keeps its offset, where opening
// the name again would start a file over at its beginning.
int DescriptorOfName(const std::string& path) {
    if (path == "/dev/stdout") {
        return STDOUT_FILENO;
    }
    if (path == "/dev/stderr") {
        return STDERR_FILENO;
    }
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::string start = prefix;
        if (path.size() > start.size() && path.size() <= start.size() + 6 &&
            path.compare(0, start.size(), start) == 0) {
            int fd = 0;
            for (std::size_t i = start.size(); i < path.size(); ++i) {
                if (path[i] < '0' || path[i] > '9') {
                    return -1;
                }
                fd = fd * 10 + (path[i] - '0');
            }
            return fd;
        }
    }
    return -1;
}

// Follows a chain of symbolic links to the name of the file they end at
// (which need not exist yet).
bool ResolveLinks(const std::string& path, std::string& target, std::string* error) {
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat info;
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;
        }
        if (hops >= 40) {
            return SetError(error, TrSubst("cannot follow the links of %s", {path}), ELOOP);
        }
        std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
        ssize_t length = ::readlink(target.c_str(), buffer.data(), buffer.size() - 1);
        if (length < 0) {
            return SetError(error, TrSubst("cannot read the link %s", {target}), errno);
        }
        std::string next(buffer.data(), static_cast<std::size_t>(length));
        if (next.empty()) {
            return SetError(error, TrSubst("cannot follow the empty link %s", {target}), ENOENT);
        }
        if (next[0] != '/') {
            std::string folder = FolderOf(target);
            if (!folder.empty()) {
                next = (folder == "/" ? folder : folder + "/") + next;
            }
        }
        target = next;
    }
}

// Writes over an existing file or device without replacing it: from the
// start, cut to the new length when it is a regular file, flushed and closed
// with every step checked.
bool WriteInPlace(const std::string& path, std::string_view content, bool regular,
                  std::string* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return SetError(error, TrSubst("cannot open %s", {path}), errno);
    }
    int code = WriteAll(fd, content);
    std::string what = TrSubst("cannot write %s", {path});
    if (code == 0 && regular && ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) {
        code = errno;
    }
    if (code == 0 && regular && ::fsync(fd) != 0) {
        code = errno;
        what = TrSubst("cannot flush %s", {path});
    }
    if (::close(fd) != 0 && code == 0) {
        code = errno;
        what = TrSubst("cannot close %s", {path});
    }
    return code == 0 || SetError(error, what, code);
}

// Creates a new temporary file in `folder` with a name of its own; the mode
// 0666 lets the kernel apply the umask as for any other new file.
int CreateTemporary(const std::string& folder, std::string& name) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random([] {
        std::random_device device;
        std::seed_seq seed{
            device(), device(), static_cast<unsigned>(::getpid()),
            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
        return std::mt19937_64(seed);
    }());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix;
        for (int i = 0; i < 6; ++i) {
            suffix += kLetters[random() % (sizeof(kLetters) - 1)];
        }
        name = folder + "/.zm-" + suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

} // namespace

TWriteHook SetWriteHook(TWriteHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    TWriteHook previous = std::move(writeHook);
    writeHook = std::move(hook);
    return previous;
}

std::string FolderOf(const std::string& fileName) {
    std::size_t slash = fileName.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    if (slash == 0) {
        return "/";
    }
    return fileName.substr(0, slash);
}

std::string ErrnoMessage(int code) {
    return std::error_code(code, std::generic_category()).message();
}

TWritableHook SetWritableHook(TWritableHook hook) {
    std::lock_guard<std::mutex> lock(writableMutex);
    TWritableHook previous = std::move(writableHook);
    writableHook = std::move(hook);
    return previous;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error) {
    if (path.empty()) {
        return SetError(error, Tr("empty file name"), ENOENT);
    }
    if (int fd = DescriptorOfName(path); fd >= 0) {
        if (::fcntl(fd, F_GETFL) < 0) {
            return SetError(error, TrSubst("cannot write %s", {path}), errno);
        }
        int code = WriteAll(fd, content);
        return code == 0 || SetError(error, TrSubst("cannot write %s", {path}), code);
    }
    struct stat existing;
    bool exists = ::stat(path.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        return SetError(error, TrSubst("cannot look at %s", {path}), errno);
    }
    if (exists && S_ISDIR(existing.st_mode)) {
        return SetError(error, TrSubst("%s is not a regular file", {path}), EISDIR);
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or FIFO takes the content as it comes; renaming a file
        // over it would put a plain file in its place.
        if (!Writable(path)) {
            return SetError(error, TrSubst("cannot write %s", {path}), EACCES);
        }
        return WriteInPlace(path, content, false, error);
    }

    std::string target;
    if (!ResolveLinks(path, target, error)) {
        return false;
    }
    if (exists && !Writable(target)) {
        return SetError(error, TrSubst("cannot write %s", {target}), EACCES);
    }
    if (exists && existing.st_nlink > 1) {
        // Renaming over one name of a file with several would part it from
        // the others.
        return WriteInPlace(target, content, true, error);
    }

    std::string folder = FolderOf(target);
    std::string prefix = folder.empty() ? std::string(".") : folder;
    std::string temp;
    int fd = CreateTemporary(prefix, temp);
    if (fd < 0) {
        int code = errno;
        if (exists && (code == EACCES || code == EPERM)) {
            // The file may be written but its folder takes no new name.
            return WriteInPlace(target, content, true, error);
        }
        return SetError(error, TrSubst("cannot create a temporary file in %s", {prefix}), code);
    }
    auto fail = [&](const std::string& what, int code) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temp.c_str());
        return SetError(error, what, code);
    };

    if (exists) {
        // The owner first: changing it clears the set-user-ID and
        // set-group-ID bits, which the mode then puts back. Only root may
        // give a file away; for others keeping their own file is enough.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
                if (errno != EPERM) {
                    return fail(TrSubst("cannot set the owner of %s", {temp}), errno);
                }
                // A member of the file's group may still give it that group.
                if (::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0 && errno != EPERM) {
                    return fail(TrSubst("cannot set the group of %s", {temp}), errno);
                }
            }
        }
        if (::fchmod(fd, existing.st_mode & 07777) != 0) {
            return fail(TrSubst("cannot set the mode of %s", {temp}), errno);
        }
    }

    if (int code = WriteAll(fd, content); code != 0) {
        return fail(TrSubst("cannot write %s", {path}), code);
    }
    if (::fsync(fd) != 0) {
        return fail(TrSubst("cannot flush %s", {path}), errno);
    }
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        return fail(TrSubst("cannot close %s", {path}), errno);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        return fail(TrSubst("cannot replace %s", {path}), errno);
    }
    return true;
}

std::string InputFileProblem(const std::string& name) {
    struct stat info;
    if (::stat(name.c_str(), &info) != 0) {
        return ErrnoMessage(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return Tr("it is a directory");
    }
    if (!S_ISREG(info.st_mode)) {
        return Tr("it is a device, FIFO or socket, not a file");
    }
    // The permission is what open(2) says: access(2) would pass anything
    // for root and judge by the real, not the effective, user.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return ErrnoMessage(errno);
    }
    ::close(fd);
    return std::string();
}
