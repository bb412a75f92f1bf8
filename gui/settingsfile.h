#pragma once
// The settings file: a small INI text of sections and key=value lines, read
// and written the way the usual private-profile functions treat it, and the
// four remembered folders of the section "Directories".
//
// Reading is forgiving: section and key names compare without regard to
// ASCII case, blanks around names and values are dropped, a value wrapped in
// one pair of double quotes loses them, lines starting with ";" or "#" are
// comments, CR LF and LF line ends and a leading UTF-8 byte-order mark are
// accepted, and the first of repeated keys wins. Writing keeps every other
// line of the file as it was.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A settings file larger than this is not read (it cannot be ours).
constexpr std::size_t kSettingsFileSizeLimit = 1 << 20;

class TIniFile {
public:
    TIniFile() = default;
    // Parses `text`; any text parses (lines that are neither a section, a
    // key, a comment nor blank are kept and otherwise ignored).
    explicit TIniFile(std::string_view text);

    // The value of `key` in `section`, or nullopt when the section or the key
    // is missing. A key present with an empty value gives "".
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    // The same with `fallback` for a missing section or key.
    std::string Read(std::string_view section, std::string_view key,
                     const std::string& fallback) const;

    // Sets `key` in `section`: an existing key is rewritten in place, a new
    // key goes after the section's last key, a new section at the end of the
    // file. A value with a line break cannot be stored in a line: the key is
    // then removed, so it reads as its default. A value that would lose
    // blanks or quotes when read back is written inside double quotes.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // Removes `key` from `section` if present, every repeat of it included.
    void Remove(std::string_view section, std::string_view key);

    // The file's text, every line ended by CR LF, after the byte-order mark
    // the file began with, if any. Keeping the mark keeps a second one that
    // began the first line where it was, so the text reads back the same.
    std::string Text() const;

private:
    struct TLine {
        std::string text;    // the line as read or written, without its end
        std::string section; // section of a header line, empty otherwise
        std::string key;     // key of a key line, empty otherwise
        std::string value;   // value of a key line, blanks and quotes removed
        bool isSection = false;
        bool isKey = false;
    };

    // Index of the header of `section`, or npos.
    std::size_t FindSection(std::string_view section) const;
    // Index of `key` after the header at `header`, or npos.
    std::size_t FindKey(std::size_t header, std::string_view key) const;

    std::vector<TLine> lines;
    bool byteOrderMark = false;
};

// The four remembered folders, in the order the file keeps them.
struct TDirectories {
    std::string waveDir;
    std::string imageDir;
    std::string csvDir;
    std::string sampleDir;

    bool operator==(const TDirectories&) const = default;
};

// Section and keys of the folders.
extern const char* const kDirectoriesSection; // "Directories"
extern const char* const kWaveDirKey;         // "WaveDir"
extern const char* const kImageDirKey;        // "ImageDir"
extern const char* const kCsvDirKey;          // "CsvDir"
extern const char* const kSampleDirKey;       // "SampleDir"

// Reads "WaveDir", "ImageDir", "CsvDir" and "SampleDir" of "Directories";
// each missing key gives `defaultDir`, an empty value stays empty.
TDirectories ReadDirectories(const TIniFile& file, const std::string& defaultDir);

// Writes the four keys in that order.
void WriteDirectories(TIniFile& file, const TDirectories& directories);

// The section after "Directories" that keeps what the user set in the
// windows and where the windows stood.
extern const char* const kPreferencesSection; // "Preferences"
// The language of the windows, "ja" or "en"; absent or anything else: the
// locale's.
extern const char* const kLanguageKey; // "Language"

// A key holding a whole decimal number (an optional sign and digits, blanks
// around it dropped): its value, a number beyond the range of int brought to
// the nearer end; nullopt for a missing key or any other text.
std::optional<int> ReadInteger(const TIniFile& file, std::string_view section,
                               std::string_view key);

// The same brought into minimum ... maximum; `fallback` when ReadInteger
// gives nothing.
int ReadInteger(const TIniFile& file, std::string_view section, std::string_view key, int minimum,
                int maximum, int fallback);

void WriteInteger(TIniFile& file, std::string_view section, std::string_view key, int value);

enum class TIniLoadResult {
    Loaded,   // the file was read
    Missing,  // there is no such file: reads as empty
    TooLarge, // larger than kSettingsFileSizeLimit: read as empty
    Failed,   // exists but cannot be read: read as empty
};

// Reads the settings file `path` into `file` (an empty TIniFile unless
// Loaded). `error` receives a description for TooLarge and Failed.
TIniLoadResult LoadIniFile(const std::string& path, TIniFile& file, std::string* error = nullptr);

// Writes `file` to `path` through WriteFileAtomically. Returns false on any
// failure, with a description in `error`; an existing file then stays as it
// was.
bool SaveIniFile(const std::string& path, const TIniFile& file, std::string* error = nullptr);
