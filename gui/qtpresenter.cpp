#include "gui/qtpresenter.h"

#include <QMessageBox>
#include <QWidget>

#include "gui/controls.h"

void PresentWithQt(const TMessage& message) {
    auto* owner = static_cast<QWidget*>(message.owner);
    QMessageBox box(message.kind == TMessageKind::Error ? QMessageBox::Critical
                                                        : QMessageBox::Information,
                    Text(message.caption), Text(message.text), QMessageBox::Ok, owner);
    box.setObjectName("MessageBox");
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    if (owner) {
        box.setWindowModality(Qt::WindowModal);
    } else {
        // Nothing to sit on top of: keep the box in front of every window of
        // ours so it cannot hide behind the one that caused it.
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

TMessagePresenter InstallQtPresenter() {
    return SetMessagePresenter(PresentWithQt);
}
