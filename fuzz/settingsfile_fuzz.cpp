// Feeds arbitrary bytes to the settings-file reader, as text and as a file,
// and checks that what it reads survives being written back: the text it
// would save reads the same folders, and a folder written into it reads
// back exactly (or as removed, for a value with a line break).
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

#include "gui/settingsfile.h"

namespace {

const char* const kKeys[] = {kWaveDirKey, kImageDirKey, kCsvDirKey, kSampleDirKey};

// The loader reads by name; an in-memory file keeps the runs off the disk.
std::string InputFile(const uint8_t* data, size_t size) {
    static const int fd = ::memfd_create("settingsfile_fuzz", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::abort();
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

void CheckSameFolders(const TIniFile& a, const TIniFile& b) {
    for (const char* key : kKeys) {
        if (a.Read(kDirectoriesSection, key) != b.Read(kDirectoriesSection, key)) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The input up to its first NUL is the file; what follows, if anything,
    // is a folder to write into it.
    const size_t split = bytes.find('\0');
    const std::string_view text = bytes.substr(0, split);
    const std::string_view folder =
        split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1);

    TIniFile file(text);
    const TDirectories before = ReadDirectories(file, "/default");
    CheckSameFolders(file, TIniFile(file.Text()));

    // The same bytes through the file loader.
    TIniFile loaded;
    std::string error;
    const TIniLoadResult result = LoadIniFile(InputFile(data, size), loaded, &error);
    if (size > kSettingsFileSizeLimit) {
        if (result != TIniLoadResult::TooLarge || !loaded.Text().empty() || error.empty()) {
            std::abort();
        }
    } else {
        if (result != TIniLoadResult::Loaded) {
            std::abort();
        }
        if (split == std::string_view::npos) {
            CheckSameFolders(file, loaded);
        }
    }

    // Writing one folder changes that key only.
    const char* key = kKeys[size % 4];
    TIniFile changed(text);
    changed.Write(kDirectoriesSection, key, folder);
    const TIniFile reread(changed.Text());
    const bool storable = folder.find_first_of("\r\n") == std::string_view::npos;
    for (const TIniFile* f : {static_cast<const TIniFile*>(&changed), &reread}) {
        const std::optional<std::string> value = f->Read(kDirectoriesSection, key);
        if (storable ? value != std::string(folder) : value.has_value()) {
            std::abort();
        }
    }
    for (const char* other : kKeys) {
        if (other != key &&
            file.Read(kDirectoriesSection, other) != reread.Read(kDirectoriesSection, other)) {
            std::abort();
        }
    }
    // Folders as read write back as they were; only a carriage return
    // inside a value (a line break to other readers) cannot be stored.
    const TDirectories& d = before;
    if ((d.waveDir + d.imageDir + d.csvDir + d.sampleDir).find('\r') == std::string::npos) {
        WriteDirectories(changed, before);
        if (ReadDirectories(TIniFile(changed.Text()), "/other") != before) {
            std::abort();
        }
    }
    return 0;
}
