#include "tests/gui/guitest.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <sys/stat.h>

#include "base/busycursor.h"
#include "examples/signals.h"
#include "gui/mainform.h"
#include "gui/samplingview.h"

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

void UseOffscreenScreen(const std::string& folder, int width, int height, const char* scale) {
    const QString file = QString::fromStdString(folder) + "/screens.json";
    QFile json(file);
    const QByteArray text = QString("{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, "
                                    "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                                    "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                                .arg(width)
                                .arg(height)
                                .toUtf8();
    if (!json.open(QIODevice::WriteOnly) || json.write(text) != text.size()) {
        qFatal("cannot write %s", qPrintable(file));
    }
    json.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + file.toUtf8());
    qputenv("QT_SCALE_FACTOR", scale);
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

QStringList Misfits(QWidget* window) {
    QStringList misfits;
    auto inner = [](QWidget* widget) {
        for (QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
            if (qobject_cast<QAbstractSpinBox*>(up) || qobject_cast<QComboBox*>(up) ||
                qobject_cast<QAbstractScrollArea*>(up)) {
                return true;
            }
        }
        return false;
    };
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* widget : all) {
        if (inner(widget) || !widget->isVisibleTo(window)) {
            continue;
        }
        const QFontMetrics metrics = widget->fontMetrics();
        bool fits = true;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            fits =
                label->sizeHint().width() <= label->width() && metrics.height() <= label->height();
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QString text = button->text();
            text.remove('&');
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
            fits = metrics.horizontalAdvance(text) + icon + 8 <= button->width();
        } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
            const QStyle* style = radio->style();
            fits = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, radio) +
                       style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, radio) +
                       metrics.horizontalAdvance(radio->text()) <=
                   radio->width();
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            fits = metrics.horizontalAdvance(box->title()) + 16 <= box->width();
        } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
            const QLineEdit* edit = spin->findChild<QLineEdit*>();
            for (int value : {spin->minimum(), spin->maximum()}) {
                // The edit keeps two pixels of margin on either side.
                const int width = edit->fontMetrics().horizontalAdvance(QString::number(value));
                fits = fits && width + 4 <= edit->width();
            }
        }
        if (!fits) {
            misfits << widget->objectName();
        }
        for (QWidget* other : all) {
            if (other != widget && other->parentWidget() == widget->parentWidget() &&
                other->isVisibleTo(window) && !inner(other) && widget < other &&
                widget->geometry().intersects(other->geometry())) {
                misfits << widget->objectName() + "/" + other->objectName();
            }
        }
    }
    return misfits;
}

TMessageOwner Owner(QWidget* window) {
    return window;
}
