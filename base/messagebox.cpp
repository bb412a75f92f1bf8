#include "base/messagebox.h"

#include <cstdio>
#include <mutex>

#include "base/translate.h"

namespace {

std::mutex presenterMutex;
TMessagePresenter processPresenter;
thread_local TMessagePresenter threadPresenter;

void DefaultPresenter(const TMessage& message) {
    std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
}

void Present(TMessageKind kind, const char* caption, const std::string& text, TMessageOwner owner) {
    TMessage message{kind, caption, text, owner};
    if (threadPresenter) {
        threadPresenter(message);
        return;
    }
    TMessagePresenter presenter;
    {
        std::lock_guard<std::mutex> lock(presenterMutex);
        presenter = processPresenter;
    }
    if (presenter) {
        presenter(message);
    } else {
        DefaultPresenter(message);
    }
}

} // namespace

void ShowErrorBox(const std::string& text, TMessageOwner owner) {
    Present(TMessageKind::Error, Tr("エラー"), text, owner);
}

void ShowInfoBox(const std::string& text, TMessageOwner owner) {
    Present(TMessageKind::Information, Tr("情報"), text, owner);
}

TMessagePresenter SetMessagePresenter(TMessagePresenter presenter) {
    std::lock_guard<std::mutex> lock(presenterMutex);
    TMessagePresenter previous = std::move(processPresenter);
    processPresenter = std::move(presenter);
    return previous;
}

TScopedThreadPresenter::TScopedThreadPresenter(TMessagePresenter presenter)
    : previous(std::move(threadPresenter)) {
    threadPresenter = std::move(presenter);
}

TScopedThreadPresenter::~TScopedThreadPresenter() {
    threadPresenter = std::move(previous);
}
