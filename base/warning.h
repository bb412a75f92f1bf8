#pragma once
// A warning about a result: a stable identifier for scripts ("few_groups")
// and the text the user reads, in the language of the run.

#include <string>
#include <string_view>

struct TWarning {
    std::string code;
    std::string text;
};

inline bool operator==(const TWarning& warning, std::string_view text) {
    return warning.text == text;
}

inline bool operator==(const TWarning& a, const TWarning& b) {
    return a.code == b.code && a.text == b.text;
}
