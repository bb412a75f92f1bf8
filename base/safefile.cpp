#include "base/safefile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

void SetError(std::string* error, const std::string& what, int code) {
    if (error) {
        *error = what + ": " + std::strerror(code);
    }
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

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error) {
    if (path.empty()) {
        SetError(error, "empty file name", ENOENT);
        return false;
    }
    std::string folder = FolderOf(path);
    std::string prefix = folder.empty() ? std::string(".") : folder;
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::string pattern = prefix + "/." + name + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');

    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        SetError(error, "cannot create a temporary file in " + prefix, errno);
        return false;
    }
    auto fail = [&](const std::string& what, int code) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temp.data());
        SetError(error, what, code);
        return false;
    };

    // Give the new file the mode an ordinary create would: 0666 less umask,
    // or the mode of the file it replaces.
    struct stat existing;
    mode_t mode;
    if (::stat(path.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            return fail(path + " is not a regular file", EINVAL);
        }
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        return fail("cannot set the mode of " + std::string(temp.data()), errno);
    }

    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t written = WriteThroughHook(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("cannot write " + path, errno);
        }
        if (written == 0) {
            return fail("cannot write " + path, ENOSPC);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0) {
        return fail("cannot flush " + path, errno);
    }
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        return fail("cannot close " + path, errno);
    }
    if (::rename(temp.data(), path.c_str()) != 0) {
        return fail("cannot replace " + path, errno);
    }
    return true;
}
