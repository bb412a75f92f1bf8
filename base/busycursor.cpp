#include "base/busycursor.h"

#include <mutex>

namespace {

std::mutex hookMutex;
TBusyHook busyHook;

void Notify(bool busy) {
    TBusyHook hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = busyHook;
    }
    if (hook) {
        hook(busy);
    }
}

} // namespace

TBusyHook SetBusyHook(TBusyHook hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    TBusyHook previous = std::move(busyHook);
    busyHook = std::move(hook);
    return previous;
}

TBusyCursor::TBusyCursor() {
    Notify(true);
}

TBusyCursor::~TBusyCursor() {
    Notify(false);
}
