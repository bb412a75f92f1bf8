#include "analysis/fileoptions.h"

#include <algorithm>

namespace {

std::string BaseName(const std::string& file) {
    std::size_t slash = file.rfind('/');
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

} // namespace

bool IsSampleFileName(const std::string& file) {
    if (file.size() < 4) {
        return false;
    }
    std::string ext = file.substr(file.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".smp";
}

std::string ExpandOutputPath(const std::string& pattern, const std::string& inputFile) {
    std::string result = pattern;
    const std::string placeholder = "{name}";
    const std::string name = BaseName(inputFile);
    for (std::size_t at = result.find(placeholder); at != std::string::npos;
         at = result.find(placeholder, at + name.size())) {
        result.replace(at, placeholder.size(), name);
    }
    return result;
}
