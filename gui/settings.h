#pragma once
// Where the settings file lives and how the main window reads and writes it:
// <XDG config home>/Brightfold/Zittermark/Zittermark.ini, section
// "Directories", the documents folder as the default of every key.
//
// Nothing here shows a box. A settings folder that cannot be created, a file
// that cannot be read or written is reported once on stderr; the program
// goes on with the defaults, and closing never depends on it.

#include <functional>
#include <string>

#include "gui/settingsfile.h"

struct TSettingsLocation {
    std::string documentsDir; // the default folder; empty if unknown
    std::string settingsDir;  // empty if the config home is unknown
    std::string iniFileName;  // settingsDir + "/Zittermark.ini", or empty
};

// The locations for the current user, from QStandardPaths (documents
// location, generic config location).
TSettingsLocation SettingsLocation();

// Reads the settings: creates the settings folder with its missing parents,
// then reads the four folders from `location.iniFileName` (a missing file,
// section or key reads as the documents folder).
// The whole file read goes to `file` when given (empty when it could not be
// read).
TDirectories ReadSettings(const TSettingsLocation& location, TIniFile* file = nullptr);

// Writes the four keys into `iniFileName`, keeping whatever else the file
// holds. Returns false (after a line on stderr) when the file cannot be
// written or no settings file is known.
// `more` then adds what else the windows keep.
bool WriteSettings(const std::string& iniFileName, const TDirectories& directories,
                   const std::function<void(TIniFile&)>& more = nullptr);
