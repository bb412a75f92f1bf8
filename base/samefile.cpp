#include "base/samefile.h"

#include <system_error>

std::filesystem::path NormalPath(const std::string& path) {
    std::error_code ignored;
    std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ignored);
    return (resolved.empty() ? absolute : resolved).lexically_normal();
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a == b) {
        return true;
    }
    std::error_code failed;
    const bool same = std::filesystem::equivalent(a, b, failed);
    return !failed && same;
}

bool NamesSameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    return SameFile(NormalPath(a), NormalPath(b));
}
