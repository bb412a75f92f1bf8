#pragma once
// Saving a file so that it is either written completely or not at all, and
// so that the path keeps being what it was.
//
// The content goes to a temporary file (.zm-XXXXXX) in the destination's
// folder; every write, the flush to disk and the close are checked, and only
// then is the temporary file renamed over the destination. A failure at any
// point removes the temporary file and leaves an existing destination
// exactly as it was.
//
// What the path is stays as it was:
//  - a symbolic link (or a chain of them) stays a link: its final target is
//    replaced, in the target's folder;
//  - a replaced file keeps its mode, owner and group (the owner as far as
//    the process may set it);
//  - a new file gets 0666 less the umask, as an ordinary create gives;
//  - a character device, FIFO or socket (/dev/null, /dev/stdout on a pipe)
//    is written directly, and /dev/stdout, /dev/stderr, /dev/fd/N and
//    /proc/self/fd/N write to the process's own descriptor N;
//  - a file with several hard links is written in place, so that every name
//    keeps seeing the same file;
//  - a file whose folder cannot take a temporary file (no write permission
//    on the folder) is written in place too.
// The two in-place cases are checked like the others but cannot keep the old
// content when a write fails half-way.
//
// A destination the user may not write (access(2) with W_OK) is refused
// before anything is written, even where rename would be allowed.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Writes `content` to `path` as described above. Returns false on any
// failure; errno-style detail is available through `error` when given.
bool WriteFileAtomically(const std::string& path, std::string_view content,
                         std::string* error = nullptr);

// Test seam: every write of the content goes through this function, which
// has the contract of POSIX write(). Passing an empty function restores the
// real write. Returns the previous hook.
using TWriteHook = std::function<ssize_t(int fd, const void* data, std::size_t size)>;
TWriteHook SetWriteHook(TWriteHook hook);

// Test seam: whether the user may write an existing file, with the contract
// of access(path, W_OK) == 0. Root passes access() for any file, so tests of
// the refusal inject it. Passing an empty function restores access().
using TWritableHook = std::function<bool(const std::string& path)>;
TWritableHook SetWritableHook(TWritableHook hook);

// The folder of a file name, as the dialogs remember it: the name up to its
// last "/", without it; the root keeps its "/"; a name without "/" gives "".
std::string FolderOf(const std::string& fileName);

// The message of an errno value, safe to call from several threads.
std::string ErrnoMessage(int code);

// Why `name` cannot be read as an input file, such as "No such file or
// directory", "it is a directory", "Permission denied"; "" when it is a
// regular file that opens for reading.
std::string InputFileProblem(const std::string& name);
