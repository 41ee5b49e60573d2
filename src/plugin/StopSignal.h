#pragma once

#include <condition_variable>
#include <functional>
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

    // Waits up to `milliseconds` for `ready` to hold: true when it does,
    // false at the deadline or, at once, when a stop is requested. `ready`
    // is looked at under the signal's lock, at the start and whenever the
    // signal is woken, so the thread that makes it true calls Notify after.
    bool WaitFor(int milliseconds, const std::function<bool()>& ready) const;
    void Notify() const;

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool requested = false;
};
