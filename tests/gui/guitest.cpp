#include "tests/gui/guitest.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <sys/stat.h>

#include "app/busycursor.h"
#include "app/mainform.h"
#include "examples/signals.h"
#include "views/samplingview.h"

void UseTestHome(const std::string& root) {
    const std::string config = root + "/config";
    const std::string runtime = root + "/runtime";
    QDir().mkpath(QString::fromStdString(root + "/home/Documents"));
    QDir().mkpath(QString::fromStdString(config));
    QDir().mkpath(QString::fromStdString(runtime));
    ::chmod(runtime.c_str(), 0700);
    qputenv("HOME", QByteArray::fromStdString(root + "/home"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
}

std::string DocumentsDir() {
    return qgetenv("HOME").toStdString() + "/Documents";
}

std::string SettingsFile() {
    return qgetenv("XDG_CONFIG_HOME").toStdString() + "/Brightfold/Zittermark/Zittermark.ini";
}

TGuiRecorder::TGuiRecorder() {
    previousPresenter =
        SetMessagePresenter([this](const TMessage& message) { messages.push_back(message); });
    SetFileChooser([this](const TFileDialogRequest& request) -> std::optional<std::string> {
        dialogs.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    });
    SetModalRunner([this](QDialog& dialog) {
        modal.push_back(dialog.objectName().toStdString());
        dialog.show();
        if (onModal) {
            onModal(dialog);
        }
        dialog.hide();
        return static_cast<int>(QDialog::Accepted);
    });
    SetUrlOpener([this](const QUrl& url) {
        urls.push_back(url);
        return true;
    });
    SetBusyHook([this](bool on) { busy.push_back(on); });
}

TGuiRecorder::~TGuiRecorder() {
    SetMessagePresenter(previousPresenter);
    SetFileChooser(nullptr);
    SetModalRunner(nullptr);
    SetUrlOpener(nullptr);
    SetBusyHook(nullptr);
}

std::vector<std::string> TGuiRecorder::Texts() const {
    std::vector<std::string> texts;
    for (const TMessage& message : messages) {
        texts.push_back(message.text);
    }
    return texts;
}

void TGuiRecorder::Clear() {
    messages.clear();
    dialogs.clear();
    modal.clear();
    urls.clear();
    busy.clear();
}

TForms::TForms() {
    CreateForms();
    MainForm->show();
}

TForms::~TForms() {
    DestroyForms();
}

void TForms::Close() {
    MainForm->close();
}

void WriteRecording(const std::string& path, double seconds, double exponent, uint32_t seed) {
    TWavBuilder builder;
    builder.sampleRate = 8000;
    WriteFileBytes(
        path, builder.Build(ToPcm16(FluctuatingTone(seconds, 8000, 440.0, exponent, 20.0, seed))));
}

QImage ShownImage(const QLabel* image) {
    return image->pixmap().toImage().convertToFormat(QImage::Format_RGB888);
}

QStringList TabStops(QWidget* window, const QString& start) {
    QStringList names;
    for (QWidget* widget = window->nextInFocusChain(); widget != window;
         widget = widget->nextInFocusChain()) {
        QWidget* parent = widget->parentWidget();
        const bool inner = qobject_cast<QAbstractSpinBox*>(parent) ||
                           qobject_cast<QComboBox*>(parent) ||
                           qobject_cast<QAbstractScrollArea*>(parent) ||
                           (parent && qobject_cast<QAbstractScrollArea*>(parent->parentWidget()));
        if ((widget->focusPolicy() & Qt::TabFocus) && !inner) {
            names << widget->objectName();
        }
    }
    const qsizetype at = names.indexOf(start);
    if (at > 0) {
        names = names.mid(at) + names.mid(0, at);
    }
    return names;
}

TMessageOwner Owner(QWidget* window) {
    return window;
}
