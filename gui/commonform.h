#pragma once
// TCommonForm: the never-shown holder of the two shared file dialogs through
// which every open and save action goes. Every caller sets the four values
// it depends on (default suffix, filter, initial folder, file name) before
// it runs a dialog, so no use inherits anything from the one before.
//
// The dialogs run through a replaceable chooser, so tests can script the
// chosen name or a cancel and read what the dialog was asked.

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

enum class TFileDialogKind {
    Open, // the chosen file must exist
    Save, // asks before overwriting an existing file
};

// What a dialog is asked for.
struct TFileDialogRequest {
    TFileDialogKind kind;
    std::string filter;        // one entry in Qt syntax, e.g. "WAVファイル(*.wav)"
    std::string defaultSuffix; // appended to a name typed without one, e.g. "wav"
    std::string initialDir;    // passed on unchanged, even if it no longer exists
    std::string fileName;      // the name shown at first: always empty here
    QWidget* owner;            // the window the dialog is modal to
};

// Returns the chosen file name, or nullopt when the user cancelled.
using TFileChooser = std::function<std::optional<std::string>(const TFileDialogRequest&)>;

// Installs the chooser every dialog runs through and returns the previous
// one; an empty chooser restores the Qt file dialog.
TFileChooser SetFileChooser(TFileChooser chooser);

// The Qt file dialog, with the read-only check box hidden and resizable.
std::optional<std::string> ChooseWithQtDialog(const TFileDialogRequest& request);

// One dialog component: the caller sets the fields, runs Execute and on
// success reads FileName.
class TFileDialog {
public:
    explicit TFileDialog(TFileDialogKind kind);

    std::string DefaultExt;
    std::string Filter;
    std::string InitialDir;
    std::string FileName;

    // Runs the dialog modally to `owner`. On confirmation FileName holds the
    // chosen name and the result is true; a cancel returns false and leaves
    // FileName as it was.
    bool Execute(QWidget* owner);

    // What every caller does: sets the default extension, the filter, the
    // initial folder and an empty file name, then runs Execute.
    bool Run(QWidget* owner, const std::string& defaultExt, const std::string& filter,
             const std::string& initialDir);

private:
    TFileDialogKind kind;
};

class TCommonForm : public QWidget {
    Q_OBJECT
public:
    TCommonForm();

    TFileDialog OpenDialog{TFileDialogKind::Open};
    TFileDialog SaveDialog{TFileDialogKind::Save};
    // The recording the windows' results come from (the last one sampled),
    // which no save may replace.
    std::string recording;
};

extern TCommonForm* CommonForm;

// The filters of the callers.
extern const char* const kWaveFilter; // "WAVファイル(*.wav)"
// The audio file dialog's filters in Qt syntax, separated by ";;": WAV
// first, then every supported audio file, then each other format.
std::string AudioFilter();
extern const char* const kSampleFilter; // "サンプルファイル(*.smp)"
extern const char* const kCsvFilter;    // "CSVファイル(*.csv)"
extern const char* const kPngFilter;    // "PNGファイル(*.png)"

// The message of a save that failed: "ファイルの保存に失敗しました。"
extern const char* const kSaveFailedMessage;

// That message with the reason, when there is one, as its second line.
std::string SaveFailedText(const std::string& reason);

// True, after an error box to `owner`, when `chosen` names the recording
// being analysed or `fileBox` (the main window's WAV file); a save there
// would replace the audio with a result.
bool RefuseSaveOverRecording(const std::string& chosen, QWidget* owner,
                             const std::string& fileBox = std::string());
