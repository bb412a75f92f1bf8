#include "gui/entry.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QTranslator>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "base/busycursor.h"
#include "base/messagebox.h"
#include "base/stdstreams.h"
#include "base/translate.h"
#include "gui/commonform.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/qtpresenter.h"
#include "gui/samplingview.h"
#include "gui/settings.h"
#include "gui/singleinstance.h"
#include "gui/spectrumview.h"

namespace {

const char* const kUsage =
    TrMark("Usage: zittermark [--language ja|en] [FILE]\n"
           "Opens the Zittermark window; FILE, an audio file, presets the file box.\n"
           "The language is --language, else Language= in the [Preferences] section of the\n"
           "settings file, else the locale's (Japanese unless it is English).\n");

// Qt's own texts (file dialogs, standard buttons, edit menus) in Japanese.
std::unique_ptr<QTranslator>& QtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

void ShowException(const char* message) {
    ShowErrorBox(message ? message : "");
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException("");
    }
    return false;
}

TLanguage ChooseLanguage(std::optional<TLanguage> option) {
    if (option) {
        return *option;
    }
    const TSettingsLocation location = SettingsLocation();
    TIniFile file;
    if (!location.iniFileName.empty() &&
        LoadIniFile(location.iniFileName, file) == TIniLoadResult::Loaded) {
        if (std::optional<std::string> chosen = file.Read(kPreferencesSection, kLanguageKey)) {
            if (std::optional<TLanguage> language = ParseLanguage(*chosen)) {
                return *language;
            }
        }
    }
    return LanguageFromEnvironment();
}

void ApplyLanguage(TLanguage language) {
    UseLanguage(language);
    std::unique_ptr<QTranslator>& installed = QtTranslator();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (language == TLanguage::Japanese) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(translator.get());
            installed = std::move(translator);
        }
    }
    // Dates and type names in the file dialogs follow the language chosen,
    // not a third one from the locale. Numbers in files and labels never
    // depend on it.
    QLocale::setDefault(language == TLanguage::English
                            ? QLocale(QLocale::English, QLocale::UnitedStates)
                            : QLocale(QLocale::Japanese, QLocale::Japan));
}

void SetApplicationIdentity() {
    QGuiApplication::setApplicationDisplayName("Zittermark");
    // The desktop entry zittermark.desktop, and the window class the window
    // manager groups the windows by.
    QGuiApplication::setDesktopFileName("zittermark");
    QCoreApplication::setApplicationName("Zittermark");
}

void InstallDesktopHooks(QApplication& app) {
    InstallApplicationLook(app);
    InstallQtPresenter();
    SetBusyHook([](bool busy) {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    });
}

void CreateForms() {
    MainForm = new TMainForm;
    SamplingViewForm = new TSamplingViewForm;
    SpectrumViewForm = new TSpectrumViewForm;
    CommonForm = new TCommonForm;
}

void DestroyForms() {
    delete CommonForm;
    CommonForm = nullptr;
    delete SpectrumViewForm;
    SpectrumViewForm = nullptr;
    delete SamplingViewForm;
    SamplingViewForm = nullptr;
    delete MainForm;
    MainForm = nullptr;
}

int RunZittermark(const QStringList& arguments) {
    QString file;
    bool onlyFiles = false;
    std::vector<std::string> args;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        args.push_back(Utf8(arguments[i]));
    }
    bool badLanguage = false;
    const std::optional<TLanguage> languageOption = LanguageArgument(args, &badLanguage);
    ApplyLanguage(ChooseLanguage(badLanguage ? std::nullopt : languageOption));
    if (badLanguage) {
        std::fprintf(stderr, "zittermark: %s\n%s", Tr("--language: give ja or en"), Tr(kUsage));
        return 2;
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!onlyFiles && arg == "--language" && i + 1 < arguments.size()) {
            ++i;
            continue;
        }
        if (!onlyFiles && (arg == "--help" || arg == "-h")) {
            std::fputs(Tr(kUsage), stdout);
            return 0;
        }
        if (!onlyFiles && arg == "--version") {
            std::printf("zittermark %s\n", ZM_VERSION);
            return 0;
        }
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
            continue;
        }
        if ((!onlyFiles && arg.startsWith('-') && arg != "-") || !file.isEmpty()) {
            std::fprintf(stderr, "zittermark: %s\n%s",
                         TrSubst("unexpected argument '%s'", {Utf8(arg)}).c_str(), Tr(kUsage));
            return 2;
        }
        file = arg;
    }

    TSingleInstance guard;
    if (!guard.TryAcquire()) {
        // A file the user opened goes to the instance that runs; without one
        // (or with an instance that cannot take it) the box says why nothing
        // starts.
        if (!file.isEmpty() &&
            HandFileToRunningInstance(InstanceSocketPath(), QFileInfo(file).absoluteFilePath())) {
            return 0;
        }
        ShowAlreadyRunningBox();
        return 1;
    }
    SetApplicationIdentity();
    QApplication::setQuitOnLastWindowClosed(false);

    try {
        CreateForms();
        TInstanceServer handOver(InstanceSocketPath(), [](const QString& handed) {
            if (MainForm == nullptr) {
                return;
            }
            MainForm->WaveFileBox->setText(handed);
            MainForm->setWindowState(MainForm->windowState() & ~Qt::WindowMinimized);
            MainForm->show();
            MainForm->raise();
            MainForm->activateWindow();
        });
        if (!file.isEmpty()) {
            MainForm->WaveFileBox->setText(QFileInfo(file).absoluteFilePath());
        }
        MainForm->show();
        QApplication::exec();
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException("");
    }
    DestroyForms();
    guard.Release();
    return 0;
}

int ZittermarkMain(int argc, char** argv) {
    OpenMissingStandardDescriptors();
    // Qt formats the file dialogs' dates and sizes with the system locale,
    // which it reads from the environment once. It reads it here as the
    // language chosen, so a German locale does not put German dates and
    // decimal commas into Japanese or English dialogs; the C library keeps
    // the user's locale.
    const std::optional<TLanguage> option =
        LanguageArgument(std::vector<std::string>(argv + 1, argv + argc));
    const char* const kQtLocale[] = {"ja_JP.UTF-8", "en_US.UTF-8"};
    const char* user = std::getenv("LC_ALL");
    const std::optional<std::string> userAll =
        user ? std::optional<std::string>(user) : std::nullopt;
    setenv("LC_ALL", kQtLocale[ChooseLanguage(option) == TLanguage::English ? 1 : 0], 1);
    TApplication app(argc, argv);
    (void)QLocale::system();
    if (userAll) {
        setenv("LC_ALL", userAll->c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
    std::setlocale(LC_ALL, "");
    InstallDesktopHooks(app);
    return RunZittermark(QApplication::arguments());
}
