#pragma once

#include <atomic>

// Lets a long key command be cut short: its waits end early, and report so,
// once a stop is requested from another thread.
class StopSignal {
public:
    void Request() { requested.store(true); }
    bool Requested() const { return requested.load(); }

    // Waits `milliseconds` (none when zero or less); false, within a slice
    // of kSliceMs, when a stop is or was requested.
    bool Wait(int milliseconds) const;

    // How late a stop can be noticed inside a wait.
    static constexpr int kSliceMs = 10;

private:
    std::atomic<bool> requested{false};
};
