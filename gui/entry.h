#pragma once
// The program's entry: the single-instance guard, the application object,
// the four windows in their order and the message loop.

#include <QApplication>
#include <QStringList>
#include <optional>

#include "base/translate.h"

// The application object. An exception that escapes an event handler is
// shown in an error box with its message (empty for exceptions that carry
// none) and the program goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The name the desktop shows for the application ("Zittermark"), its desktop
// entry ("zittermark") and its window class ("Zittermark").
void SetApplicationIdentity();

// Installs what the desktop application shows through Qt: the window style
// and font with the hint timing, the message-box presenter and the
// hourglass.
void InstallDesktopHooks(QApplication& app);

// Creates MainForm, SamplingViewForm, SpectrumViewForm and CommonForm in
// that order (none is shown), and destroys them in the reverse order.
void CreateForms();
void DestroyForms();

// The language of the windows: `option` (--language) when given, else
// Language= of the settings file's [Preferences] section, else the locale's.
TLanguage ChooseLanguage(std::optional<TLanguage> option);

// Makes the catalogue of `language` answer every text, loads Qt's own
// translations for Japanese, and sets the default QLocale to the language.
// Call it after the application object exists (it resets the C locale).
void ApplyLanguage(TLanguage language);

// Everything after the application object exists: `arguments` are the
// program's (Qt's own options removed), `zittermark [--language ja|en] [FILE]`. Returns 1 when
// another instance is running (after its box; no window is created and the
// settings are not touched), 2 for a usage error, 0 after the main window
// was closed.
int RunZittermark(const QStringList& arguments);

// main(): the application object, the hooks and RunZittermark.
int ZittermarkMain(int argc, char** argv);
