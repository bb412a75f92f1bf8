#pragma once
// Saving a file so that it is either written completely or not at all.
//
// The content goes to a temporary file in the destination's folder; every
// write, the flush to disk and the close are checked, and only then is the
// temporary file renamed over the destination. A failure at any point removes
// the temporary file and leaves an existing destination exactly as it was.

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

// The folder of a file name, as the dialogs remember it: the name up to its
// last "/", without it; the root keeps its "/"; a name without "/" gives "".
std::string FolderOf(const std::string& fileName);
