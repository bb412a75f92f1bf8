#pragma once
// The two modal message boxes through which the system tells the user that
// something is wrong with the input (error) or that an action has nothing to
// work on (information).
//
// The boxes themselves are toolkit-free: they hand kind, caption, text and
// owner to the installed presenter. The desktop application installs one that
// shows a modal Qt message box, the command-line front one that writes to
// stderr, tests one that records. A presenter installed for the current thread
// takes precedence over the process-wide one, so parallel analyses can each
// attribute their messages to their own file.

#include <functional>
#include <string>

// The window a box belongs to, or nullptr for none. For the desktop
// application it is the owning QWidget*; the core never dereferences it.
using TMessageOwner = void*;

enum class TMessageKind { Error, Information };

struct TMessage {
    TMessageKind kind;
    std::string caption; // "エラー" or "情報"
    std::string text;    // UTF-8, may contain "\n" for a second line
    TMessageOwner owner;
};

using TMessagePresenter = std::function<void(const TMessage&)>;

// Shows a modal error box with the caption "エラー".
void ShowErrorBox(const std::string& text, TMessageOwner owner = nullptr);

// Shows a modal information box with the caption "情報".
void ShowInfoBox(const std::string& text, TMessageOwner owner = nullptr);

// Installs the process-wide presenter and returns the previous one. An empty
// presenter restores the default, which writes "caption: text" to stderr.
TMessagePresenter SetMessagePresenter(TMessagePresenter presenter);

// Installs a presenter for the calling thread for the lifetime of the object.
class TScopedThreadPresenter {
public:
    explicit TScopedThreadPresenter(TMessagePresenter presenter);
    ~TScopedThreadPresenter();
    TScopedThreadPresenter(const TScopedThreadPresenter&) = delete;
    TScopedThreadPresenter& operator=(const TScopedThreadPresenter&) = delete;

private:
    TMessagePresenter previous;
};
