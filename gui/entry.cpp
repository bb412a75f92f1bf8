#include "gui/entry.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <cstdio>
#include <exception>

#include "base/busycursor.h"
#include "base/messagebox.h"
#include "base/stdstreams.h"
#include "gui/commonform.h"
#include "gui/controls.h"
#include "gui/mainform.h"
#include "gui/qtpresenter.h"
#include "gui/samplingview.h"
#include "gui/singleinstance.h"
#include "gui/spectrumview.h"

namespace {

const char* const kUsage = "Usage: zittermark [FILE]\n"
                           "Opens the Zittermark window; FILE, a WAV file, presets the file box.\n";

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
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!onlyFiles && (arg == "--help" || arg == "-h")) {
            std::fputs(kUsage, stdout);
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
            std::fprintf(stderr, "zittermark: unexpected argument '%s'\n%s",
                         arg.toLocal8Bit().constData(), kUsage);
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
    TApplication app(argc, argv);
    InstallDesktopHooks(app);
    return RunZittermark(QApplication::arguments());
}
