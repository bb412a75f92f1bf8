#pragma once
// Whether two names reach one file, so that no output is written over an
// input or over another output.

#include <filesystem>
#include <string>

// A path as the file system would resolve it: absolute, with "." and ".."
// and the symbolic links of its existing part resolved.
std::filesystem::path NormalPath(const std::string& path);

// Whether two normal paths name one file: equal, or both existing and the
// same file (hard links, bind mounts).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The same for two names as the user gave them.
bool NamesSameFile(const std::string& a, const std::string& b);
