#pragma once
// The single-instance guard: one lock file per user in the XDG runtime
// folder. The lock names the process that holds it, so the lock of an
// instance that crashed is recognised as stale and taken over; it is never
// taken from a live instance however long that one runs.

#include <QLockFile>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;

// The lock file: <XDG runtime folder>/Zittermark.lock, or, when the runtime
// folder is unknown, Zittermark-<uid>.lock in the temporary folder.
std::string InstanceLockPath();

class TSingleInstance {
public:
    explicit TSingleInstance(const std::string& lockPath = InstanceLockPath());
    ~TSingleInstance(); // releases the lock if held

    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // Takes the lock unless another live instance holds it.
    bool TryAcquire();
    void Release();
    bool Held() const;

private:
    QLockFile lock;
};

// The socket the running instance listens on for files handed over by a
// second one: the lock's path with ".socket" in place of ".lock".
std::string InstanceSocketPath(const std::string& lockPath = InstanceLockPath());

// The running instance's end: takes file names handed over by later
// instances, one line of UTF-8 each (at most kHandOverLimit bytes), and
// answers "ok" once it has passed the name on.
class TInstanceServer : public QObject {
    Q_OBJECT
public:
    using TFileHandler = std::function<void(const QString& file)>;
    TInstanceServer(const std::string& socketPath, TFileHandler onFile);
    ~TInstanceServer() override;
    // Whether it listens; false when the socket could not be made (files
    // cannot be handed over then, nothing else changes).
    bool Listening() const;

private:
    void Accept();

    QLocalServer* server;
    TFileHandler onFile;
};

// The longest line a hand-over may send: a path of PATH_MAX and its end.
constexpr qint64 kHandOverLimit = 4097;

// The second instance's end: hands `file` (an absolute path) to the instance
// listening on `socketPath`; true once it has answered within `timeoutMs`.
bool HandFileToRunningInstance(const std::string& socketPath, const QString& file,
                               int timeoutMs = 3000);

// The box a second instance shows before it exits: text
// "別のZittermarkがすでに開かれています。", caption "確認", error icon.
using TInstanceBoxHook = std::function<void(const std::string& caption, const std::string& text)>;

// Installs the hook that shows the box (tests record it); an empty hook
// restores the Qt message box. Returns the previous hook.
TInstanceBoxHook SetInstanceBoxHook(TInstanceBoxHook hook);

// Shows the box through the installed hook.
void ShowAlreadyRunningBox();

extern const char* const kAlreadyRunningText;
extern const char* const kAlreadyRunningCaption;
