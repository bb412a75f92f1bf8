#pragma once
// Loops whose iterations a fixed set of threads shares. A thread that runs a
// loop works on it itself, and threads with nothing else to do help through
// Help(), so a loop started inside a task never waits for a thread that is
// busy with another task: it finishes on its own thread at worst.

#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>

class TSharedLoops {
public:
    // Runs body(0) ... body(n - 1) on this thread and on any helping ones;
    // returns when every iteration is done. The body must not throw.
    void For(int n, const std::function<void(int)>& body);

    // Takes part in the loops that are running until Stop() is called.
    void Help();

    // Makes Help() return once its current iterations are done.
    void Stop();

private:
    struct TLoop {
        int n;
        const std::function<void(int)>* body;
        int next = 0;    // next iteration to hand out
        int done = 0;    // iterations finished
        int helpers = 0; // other threads working on it
    };

    // Runs iterations of `loop` until none is left to hand out; `lock` is held
    // on entry and on return.
    void Work(TLoop& loop, std::unique_lock<std::mutex>& lock);

    std::mutex mutex;
    std::condition_variable changed;
    std::list<TLoop*> loops;
    bool stopping = false;
};
