#include "gui/settingsfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "base/safefile.h"

const char* const kDirectoriesSection = "Directories";
const char* const kPreferencesSection = "Preferences";
const char* const kLanguageKey = "Language";
const char* const kWaveDirKey = "WaveDir";
const char* const kImageDirKey = "ImageDir";
const char* const kCsvDirKey = "CsvDir";
const char* const kSampleDirKey = "SampleDir";

namespace {

const char* const kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// The value as a reader will see it: blanks dropped, then one pair of
// matching quotes.
std::string ValueOf(std::string_view raw) {
    std::string_view value = Trim(raw);
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

// The text to write for `value` so that ValueOf gives it back.
std::string EncodedValue(std::string_view value) {
    bool quote = !value.empty() &&
                 (IsBlank(value.front()) || IsBlank(value.back()) ||
                  (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()));
    if (quote) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

} // namespace

TIniFile::TIniFile(std::string_view text) {
    if (text.substr(0, 3) == kByteOrderMark) {
        text.remove_prefix(3);
        byteOrderMark = true;
    }
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        TLine line;
        line.text = std::string(raw);
        std::string_view content = Trim(raw);
        if (!content.empty() && content.front() == '[') {
            std::string_view name = content.substr(1);
            std::size_t close = name.find(']');
            if (close != std::string_view::npos) {
                name = name.substr(0, close);
            }
            line.isSection = true;
            line.section = std::string(Trim(name));
        } else if (!content.empty() && content.front() != ';' && content.front() != '#') {
            std::size_t equals = content.find('=');
            if (equals != std::string_view::npos) {
                std::string_view key = Trim(content.substr(0, equals));
                if (!key.empty()) {
                    line.isKey = true;
                    line.key = std::string(key);
                    line.value = ValueOf(content.substr(equals + 1));
                }
            }
        }
        lines.push_back(std::move(line));
    }
}

std::size_t TIniFile::FindSection(std::string_view section) const {
    std::string_view name = Trim(section);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isSection && SameName(lines[i].section, name)) {
            return i;
        }
    }
    return std::string::npos;
}

std::size_t TIniFile::FindKey(std::size_t header, std::string_view key) const {
    std::string_view name = Trim(key);
    for (std::size_t i = header + 1; i < lines.size() && !lines[i].isSection; ++i) {
        if (lines[i].isKey && SameName(lines[i].key, name)) {
            return i;
        }
    }
    return std::string::npos;
}

std::optional<std::string> TIniFile::Read(std::string_view section, std::string_view key) const {
    std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        return std::nullopt;
    }
    std::size_t at = FindKey(header, key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return lines[at].value;
}

std::string TIniFile::Read(std::string_view section, std::string_view key,
                           const std::string& fallback) const {
    std::optional<std::string> value = Read(section, key);
    return value ? *value : fallback;
}

void TIniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        Remove(section, key);
        return;
    }
    TLine line;
    line.isKey = true;
    line.key = std::string(Trim(key));
    line.value = std::string(value);
    line.text = line.key + "=" + EncodedValue(value);

    std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        TLine head;
        head.isSection = true;
        head.section = std::string(Trim(section));
        head.text = "[" + head.section + "]";
        lines.push_back(std::move(head));
        lines.push_back(std::move(line));
        return;
    }
    std::size_t at = FindKey(header, key);
    if (at != std::string::npos) {
        // Keep the spelling of the key the file already has.
        line.key = lines[at].key;
        line.text = line.key + "=" + EncodedValue(value);
        lines[at] = std::move(line);
        return;
    }
    std::size_t insertAfter = header;
    for (std::size_t i = header + 1; i < lines.size() && !lines[i].isSection; ++i) {
        if (lines[i].isKey) {
            insertAfter = i;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1), std::move(line));
}

void TIniFile::Remove(std::string_view section, std::string_view key) {
    std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        return;
    }
    // Every copy goes: with only the first removed, a later repeat of the key
    // would become the value read.
    for (std::size_t at = FindKey(header, key); at != std::string::npos;
         at = FindKey(header, key)) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

std::string TIniFile::Text() const {
    std::string text = byteOrderMark ? kByteOrderMark : "";
    for (const TLine& line : lines) {
        text += line.text;
        text += "\r\n";
    }
    return text;
}

TDirectories ReadDirectories(const TIniFile& file, const std::string& defaultDir) {
    TDirectories directories;
    directories.waveDir = file.Read(kDirectoriesSection, kWaveDirKey, defaultDir);
    directories.imageDir = file.Read(kDirectoriesSection, kImageDirKey, defaultDir);
    directories.csvDir = file.Read(kDirectoriesSection, kCsvDirKey, defaultDir);
    directories.sampleDir = file.Read(kDirectoriesSection, kSampleDirKey, defaultDir);
    return directories;
}

void WriteDirectories(TIniFile& file, const TDirectories& directories) {
    file.Write(kDirectoriesSection, kWaveDirKey, directories.waveDir);
    file.Write(kDirectoriesSection, kImageDirKey, directories.imageDir);
    file.Write(kDirectoriesSection, kCsvDirKey, directories.csvDir);
    file.Write(kDirectoriesSection, kSampleDirKey, directories.sampleDir);
}

TIniLoadResult LoadIniFile(const std::string& path, TIniFile& file, std::string* error) {
    file = TIniFile();
    auto fail = [&](TIniLoadResult result, const std::string& why) {
        if (error) {
            *error = why;
        }
        return result;
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return TIniLoadResult::Missing;
        }
        return fail(TIniLoadResult::Failed, ErrnoMessage(errno));
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(TIniLoadResult::Failed, "not a regular file");
    }
    if (static_cast<unsigned long long>(info.st_size) > kSettingsFileSizeLimit) {
        ::close(fd);
        return fail(TIniLoadResult::TooLarge, "larger than 1 MiB");
    }
    // Read at most one byte beyond the limit, so a file that grows while we
    // read is still refused rather than read without bound.
    std::string text(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == text.size()) {
            if (text.size() > kSettingsFileSizeLimit) {
                ::close(fd);
                return fail(TIniLoadResult::TooLarge, "larger than 1 MiB");
            }
            text.resize(std::min(text.size() * 2, kSettingsFileSizeLimit + 1));
        }
        ssize_t got = ::read(fd, text.data() + filled, text.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            int saved = errno;
            ::close(fd);
            return fail(TIniLoadResult::Failed, ErrnoMessage(saved));
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    text.resize(filled);
    file = TIniFile(text);
    return TIniLoadResult::Loaded;
}

bool SaveIniFile(const std::string& path, const TIniFile& file, std::string* error) {
    return WriteFileAtomically(path, file.Text(), error);
}

std::optional<int> ReadInteger(const TIniFile& file, std::string_view section,
                               std::string_view key) {
    const std::optional<std::string> value = file.Read(section, key);
    if (!value) {
        return std::nullopt;
    }
    std::string_view text = *value;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // Digits are summed with saturation, so any length of text is fine.
    long long magnitude = 0;
    constexpr long long kBeyond = 1LL << 40;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = std::min(kBeyond, magnitude * 10 + (c - '0'));
    }
    const long long number = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(number, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

int ReadInteger(const TIniFile& file, std::string_view section, std::string_view key, int minimum,
                int maximum, int fallback) {
    const std::optional<int> value = ReadInteger(file, section, key);
    return value ? std::clamp(*value, minimum, maximum) : fallback;
}

void WriteInteger(TIniFile& file, std::string_view section, std::string_view key, int value) {
    file.Write(section, key, std::to_string(value));
}
