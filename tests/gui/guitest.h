#pragma once
// Shared pieces of the GUI tests: a private home for the test process, the
// recorder that stands in for every box, dialog, modal showing and URL, the
// four windows of one start, and generated recordings.

#include <QDialog>
#include <QImage>
#include <QUrl>
#include <QtTest>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/messagebox.h"
#include "gui/commonform.h"
#include "gui/controls.h"
#include "gui/entry.h"
#include "tests/support/testsupport.h"

// Points HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR of the process at fresh
// folders under `root`, so no test reads or writes the real user's files.
void UseTestHome(const std::string& root);

// The documents folder and the settings file of the test home.
std::string DocumentsDir();
std::string SettingsFile();

// Runs the test object under a TApplication with the windows' look, in a
// private home, headless unless a display was asked for.
template <class TTest> int RunGuiTest(int argc, char** argv) {
    TTempDir home;
    UseTestHome(home.Path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    TApplication app(argc, argv);
    InstallApplicationLook(app);
    TTest test;
    return QTest::qExec(&test, argc, argv);
}

#define ZM_GUI_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char** argv) {                                                              \
        return RunGuiTest<TestClass>(argc, argv);                                                  \
    }

// Makes the headless platform offer one screen of width x height device
// pixels, shown at `scale` (QT_SCALE_FACTOR), described in a file under
// `folder`. Before the application starts.
void UseOffscreenScreen(const std::string& folder, int width, int height, const char* scale);

// As ZM_GUI_TEST_MAIN on one width x height screen at `scale`.
#define ZM_GUI_TEST_MAIN_AT_SCALE(TestClass, width, height, scale)                                 \
    int main(int argc, char** argv) {                                                              \
        TTempDir screens;                                                                          \
        UseOffscreenScreen(screens.Path(), width, height, scale);                                  \
        return RunGuiTest<TestClass>(argc, argv);                                                  \
    }

// Installs recording hooks for the boxes, the file dialogs, the modal
// runner, the URL opener and the hourglass, and restores the previous ones
// when it goes.
class TGuiRecorder {
public:
    TGuiRecorder();
    ~TGuiRecorder();
    TGuiRecorder(const TGuiRecorder&) = delete;
    TGuiRecorder& operator=(const TGuiRecorder&) = delete;

    // Every box shown, in order.
    std::vector<TMessage> messages;
    // Every file dialog run, in order, with what it was asked.
    std::vector<TFileDialogRequest> dialogs;
    // The answers of the next dialogs: a name, or nullopt for a cancel. A
    // dialog with no answer left is cancelled.
    std::deque<std::optional<std::string>> answers;
    // Object names of the windows shown modally, in order.
    std::vector<std::string> modal;
    // Called while a modal window is up (shown, not yet closed).
    std::function<void(QDialog&)> onModal;
    std::vector<QUrl> urls;
    // Hourglass on (true) and off (false), in order.
    std::vector<bool> busy;

    // The texts of the messages, for compact comparisons.
    std::vector<std::string> Texts() const;
    void Clear();

private:
    TMessagePresenter previousPresenter;
};

// The four windows of one start, the main window shown (so it has read the
// settings); destroyed without closing (nothing is written) unless Close is
// called first.
class TForms {
public:
    TForms();
    ~TForms();
    TForms(const TForms&) = delete;
    TForms& operator=(const TForms&) = delete;

    // Closes the main window as the user does: the settings are written.
    void Close();
};

// A recording whose loudness fluctuates as 1/f^exponent: a 440 Hz tone at
// 8000 Hz, 16-bit mono, written to `path`.
void WriteRecording(const std::string& path, double seconds = 12.0, double exponent = 1.0,
                    uint32_t seed = 7);

// The picture an image control shows, as RGB888.
QImage ShownImage(const class QLabel* image);

// The controls that Tab visits in `window`, in order, starting at `start`.
QStringList TabStops(QWidget* window, const QString& start);

// The controls of `window` whose text does not fit them (labels, buttons,
// radio items, group captions, the widest value of spin edits) and the
// pairs of sibling controls that overlap, by name; empty when all is well.
QStringList Misfits(QWidget* window);

// The owner value the windows pass for `window`.
TMessageOwner Owner(QWidget* window);
