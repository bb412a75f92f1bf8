#pragma once
// The single-instance guard: one lock file per user in the XDG runtime
// folder. The lock names the process that holds it, so the lock of an
// instance that crashed is recognised as stale and taken over; it is never
// taken from a live instance however long that one runs.

#include <QLockFile>
#include <functional>
#include <memory>
#include <string>

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
