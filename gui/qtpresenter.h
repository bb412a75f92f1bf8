#pragma once
// The message boxes of the desktop application: modal Qt message boxes with
// the error or information icon, the caption, the text and an OK button only.
// A box with an owner is modal to that window and centred over it; a box
// without one is modal to the whole application and brought to the front.

#include "base/messagebox.h"

class QWidget;

// The owner to pass to ShowErrorBox / ShowInfoBox for a window.
inline TMessageOwner OwnerOf(QWidget* window) {
    return window;
}

// Shows `message` and returns when the user has dismissed it.
void PresentWithQt(const TMessage& message);

// Installs PresentWithQt as the process-wide presenter; returns the previous
// presenter.
TMessagePresenter InstallQtPresenter();
