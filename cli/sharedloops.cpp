#include "cli/sharedloops.h"

#include <algorithm>

void TSharedLoops::Work(TLoop& loop, std::unique_lock<std::mutex>& lock) {
    while (loop.next < loop.n) {
        const int i = loop.next++;
        lock.unlock();
        (*loop.body)(i);
        lock.lock();
        if (++loop.done == loop.n) {
            changed.notify_all();
        }
    }
}

void TSharedLoops::For(int n, const std::function<void(int)>& body) {
    if (n <= 0) {
        return;
    }
    TLoop loop{n, &body};
    std::unique_lock<std::mutex> lock(mutex);
    loops.push_back(&loop);
    changed.notify_all();
    Work(loop, lock);
    // Every iteration is handed out: no helper can pick the loop up any more.
    loops.remove(&loop);
    changed.wait(lock, [&] { return loop.done == loop.n && loop.helpers == 0; });
}

void TSharedLoops::Help() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        TLoop* open = nullptr;
        changed.wait(lock, [&] {
            auto found = std::find_if(loops.begin(), loops.end(),
                                      [](const TLoop* loop) { return loop->next < loop->n; });
            open = found == loops.end() ? nullptr : *found;
            return stopping || open != nullptr;
        });
        if (open == nullptr) {
            return;
        }
        ++open->helpers;
        Work(*open, lock);
        if (--open->helpers == 0) {
            changed.notify_all();
        }
    }
}

void TSharedLoops::Stop() {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
    changed.notify_all();
}
