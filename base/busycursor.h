#pragma once
// The hourglass around long steps. The core marks the steps; the desktop
// application installs a hook that sets Qt's override cursor, tests one that
// records, and without a hook nothing happens.

#include <functional>

// Called with true when a long step begins and false when it ends.
using TBusyHook = std::function<void(bool busy)>;

// Installs the process-wide hook and returns the previous one.
TBusyHook SetBusyHook(TBusyHook hook);

// Shows the hourglass for its lifetime and restores the default cursor on
// every way out, exceptions included.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
