#pragma once
// Records every message box shown while it lives, so a test can read the
// texts, captions and owners a user would see.

#include <vector>

#include "base/messagebox.h"

class TMessageRecorder {
public:
    TMessageRecorder()
        : previous(SetMessagePresenter([this](const TMessage& m) { shown.push_back(m); })) {}
    ~TMessageRecorder() { SetMessagePresenter(previous); }
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;

    std::vector<TMessage> shown;

private:
    TMessagePresenter previous;
};
