#include "gui/settings.h"

#include <QDir>
#include <QStandardPaths>
#include <cstdio>

#include "base/translate.h"
#include "gui/controls.h"

namespace {

void Report(const std::string& what, const std::string& path, const std::string& why) {
    std::fprintf(stderr, "zittermark: %s %s%s%s\n", what.c_str(), path.c_str(),
                 why.empty() ? "" : ": ", why.c_str());
}

} // namespace

TSettingsLocation SettingsLocation() {
    TSettingsLocation location;
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) {
        documents = QDir::homePath();
    }
    location.documentsDir = Utf8(QDir::cleanPath(documents));
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!config.isEmpty()) {
        location.settingsDir = Utf8(QDir::cleanPath(config + "/Brightfold/Zittermark"));
        location.iniFileName = location.settingsDir + "/Zittermark.ini";
    }
    return location;
}

TDirectories ReadSettings(const TSettingsLocation& location, TIniFile* read) {
    TIniFile file;
    struct THandOver {
        TIniFile& file;
        TIniFile* read;
        ~THandOver() {
            if (read) {
                *read = file;
            }
        }
    } handOver{file, read};
    if (location.iniFileName.empty()) {
        Report(Tr("cannot determine the settings folder;"), Tr("the defaults apply"), "");
    } else {
        if (!QDir().mkpath(Text(location.settingsDir))) {
            // There is no file to read either; the defaults apply.
            Report(Tr("cannot create the settings folder"), location.settingsDir, "");
            return ReadDirectories(file, location.documentsDir);
        }
        std::string error;
        TIniLoadResult result = LoadIniFile(location.iniFileName, file, &error);
        if (result == TIniLoadResult::TooLarge || result == TIniLoadResult::Failed) {
            Report(Tr("cannot read the settings file"), location.iniFileName, error);
        }
    }
    return ReadDirectories(file, location.documentsDir);
}

bool WriteSettings(const std::string& iniFileName, const TDirectories& directories,
                   const std::function<void(TIniFile&)>& more) {
    if (iniFileName.empty()) {
        Report(Tr("cannot save the settings:"), Tr("no settings folder"), "");
        return false;
    }
    // Keep what else the file holds; a file we cannot read is replaced.
    TIniFile file;
    LoadIniFile(iniFileName, file);
    WriteDirectories(file, directories);
    if (more) {
        more(file);
    }
    std::string error;
    if (!SaveIniFile(iniFileName, file, &error)) {
        Report(Tr("cannot save the settings file"), iniFileName, error);
        return false;
    }
    return true;
}
