#pragma once

#include <condition_variable>
#include <mutex>

// Lets a long key command be cut short: its waits end at once, and report
// so, when a stop is requested from another thread. A wait sleeps until its
// deadline or the stop, never in slices.
class StopSignal {
public:
    void Request();
    bool Requested() const;
    // Makes the signal ready for the next command; only its owner calls this,
    // while no command waits on it.
    void Reset();

    // Waits `milliseconds` (none when zero or less); false, at once, when a
    // stop is or was requested.
    bool Wait(int milliseconds) const;

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool requested = false;
};
