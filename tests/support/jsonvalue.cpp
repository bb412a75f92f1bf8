#include "tests/support/jsonvalue.h"

#include <charconv>
#include <cstdlib>
#include <system_error>

namespace {

struct TReader {
    const std::string& s;
    std::size_t at = 0;

    void Blanks() {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r')) {
            ++at;
        }
    }
    bool Take(const std::string& word) {
        if (s.compare(at, word.size(), word) == 0) {
            at += word.size();
            return true;
        }
        return false;
    }
    bool StringText(std::string& out) {
        if (!Take("\"")) {
            return false;
        }
        while (at < s.size()) {
            const char c = s[at++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= s.size()) {
                return false;
            }
            const char e = s[at++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                if (at + 4 > s.size()) {
                    return false;
                }
                const long code = std::strtol(s.substr(at, 4).c_str(), nullptr, 16);
                at += 4;
                if (code >= 0xD800 && code <= 0xDFFF) {
                    return false; // the tests meet no surrogate pairs
                }
                // The character as UTF-8.
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }
    bool Value(TJson& v, int depth) {
        if (depth > 64) {
            return false;
        }
        Blanks();
        if (at >= s.size()) {
            return false;
        }
        const char c = s[at];
        if (Take("null")) {
            v.kind = TJson::Null;
        } else if (Take("true")) {
            v.kind = TJson::Bool;
            v.boolean = true;
        } else if (Take("false")) {
            v.kind = TJson::Bool;
        } else if (c == '"') {
            v.kind = TJson::String;
            return StringText(v.text);
        } else if (c == '[') {
            ++at;
            v.kind = TJson::Array;
            Blanks();
            if (Take("]")) {
                return true;
            }
            for (;;) {
                v.items.emplace_back();
                if (!Value(v.items.back(), depth + 1)) {
                    return false;
                }
                Blanks();
                if (Take("]")) {
                    return true;
                }
                if (!Take(",")) {
                    return false;
                }
            }
        } else if (c == '{') {
            ++at;
            v.kind = TJson::Object;
            Blanks();
            if (Take("}")) {
                return true;
            }
            for (;;) {
                Blanks();
                std::string key;
                if (!StringText(key)) {
                    return false;
                }
                Blanks();
                if (!Take(":")) {
                    return false;
                }
                TJson member;
                if (!Value(member, depth + 1) || v.members.count(key)) {
                    return false;
                }
                v.members.emplace(key, std::move(member));
                Blanks();
                if (Take("}")) {
                    return true;
                }
                if (!Take(",")) {
                    return false;
                }
            }
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const std::size_t start = at;
            while (at < s.size() &&
                   std::string("+-0123456789.eE").find(s[at]) != std::string::npos) {
                ++at;
            }
            const std::string number = s.substr(start, at - start);
            // from_chars reads "." whatever the locale, which the GUI tests
            // set to one with a decimal comma.
            v.kind = TJson::Number;
            const auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), v.number);
            return error == std::errc() && end == number.data() + number.size();
        } else {
            return false;
        }
        return true;
    }
};

} // namespace

const TJson& TJson::operator[](const std::string& key) const {
    static const TJson none;
    auto found = members.find(key);
    return found == members.end() ? none : found->second;
}

std::optional<TJson> ParseJson(const std::string& text) {
    TReader reader{text};
    TJson value;
    if (!reader.Value(value, 0)) {
        return std::nullopt;
    }
    reader.Blanks();
    if (reader.at != text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<TJson>> ParseJsonLines(const std::string& text) {
    std::vector<TJson> values;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        std::optional<TJson> value = ParseJson(line);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(std::move(*value));
    }
    return values;
}
