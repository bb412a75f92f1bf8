#include "gui/commonform.h"

#include <QFileDialog>

#include "base/messagebox.h"
#include "base/samefile.h"
#include "base/translate.h"
#include "engine/soundfile.h"
#include "gui/controls.h"
#include "gui/qtpresenter.h"

TCommonForm* CommonForm = nullptr;

const char* const kWaveFilter = TrMark("WAVファイル(*.wav)");
const char* const kSampleFilter = TrMark("サンプルファイル(*.smp)");
const char* const kCsvFilter = TrMark("CSVファイル(*.csv)");
const char* const kPngFilter = TrMark("PNGファイル(*.png)");
const char* const kSaveFailedMessage = TrMark("ファイルの保存に失敗しました。");

std::string SaveFailedText(const std::string& reason) {
    return reason.empty() ? std::string(Tr(kSaveFailedMessage))
                          : Tr(kSaveFailedMessage) + ("\n" + reason);
}

bool RefuseSaveOverRecording(const std::string& chosen, QWidget* owner,
                             const std::string& fileBox) {
    for (const std::string& recording :
         {CommonForm ? CommonForm->recording : std::string(), fileBox}) {
        if (NamesSameFile(chosen, recording)) {
            ShowErrorBox(SaveFailedText(TrSubst("%s is the recording being analysed; choose "
                                                "another name",
                                                {chosen})),
                         OwnerOf(owner));
            return true;
        }
    }
    return false;
}

std::string AudioFilter() {
    std::string all;
    std::string each;
    for (const TAudioFileType& type : AudioFileTypes()) {
        std::string patterns;
        for (const std::string& extension : type.extensions) {
            patterns += (patterns.empty() ? "*" : " *") + extension;
        }
        all += (all.empty() ? "" : " ") + patterns;
        if (std::string(type.name) != "WAV") {
            each += ";;" + TrSubst("%sファイル(%s)", {type.name, patterns});
        }
    }
    return Tr(kWaveFilter) + (";;" + TrSubst("音声ファイル(%s)", {all})) + each;
}

namespace {

TFileChooser& Chooser() {
    static TFileChooser chooser;
    return chooser;
}

} // namespace

TFileChooser SetFileChooser(TFileChooser chooser) {
    TFileChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}

std::optional<std::string> ChooseWithQtDialog(const TFileDialogRequest& request) {
    QFileDialog dialog(request.owner);
    dialog.setObjectName(request.kind == TFileDialogKind::Open ? "OpenDialog" : "SaveDialog");
    dialog.setNameFilter(Text(request.filter));
    dialog.setDefaultSuffix(Text(request.defaultSuffix));
    if (!request.initialDir.empty()) {
        dialog.setDirectory(Text(request.initialDir));
    }
    dialog.selectFile(Text(request.fileName));
    if (request.kind == TFileDialogKind::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return Utf8(dialog.selectedFiles().front());
}

TFileDialog::TFileDialog(TFileDialogKind kind) : kind(kind) {}

bool TFileDialog::Execute(QWidget* owner) {
    TFileDialogRequest request{kind, Filter, DefaultExt, InitialDir, FileName, owner};
    const TFileChooser& chooser = Chooser();
    std::optional<std::string> chosen = chooser ? chooser(request) : ChooseWithQtDialog(request);
    if (!chosen || chosen->empty()) {
        return false;
    }
    FileName = *chosen;
    return true;
}

TCommonForm::TCommonForm() {
    setObjectName("CommonForm");
    setWindowTitle("Common");
}

bool TFileDialog::Run(QWidget* owner, const std::string& defaultExt, const std::string& filter,
                      const std::string& initialDir) {
    DefaultExt = defaultExt;
    Filter = filter;
    InitialDir = initialDir;
    FileName.clear();
    return Execute(owner);
}
