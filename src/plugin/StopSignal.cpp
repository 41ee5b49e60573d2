#include "plugin/StopSignal.h"

#include <algorithm>
#include <chrono>

void StopSignal::Request() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        requested = true;
    }
    changed.notify_all();
}

bool StopSignal::Requested() const {
    std::lock_guard<std::mutex> guard(mutex);
    return requested;
}

void StopSignal::Reset() {
    std::lock_guard<std::mutex> guard(mutex);
    requested = false;
}

bool StopSignal::Wait(int milliseconds) const {
    // No timed wait for no time: some threading libraries round a timed
    // wait up to a scheduler tick.
    if (milliseconds <= 0) return !Requested();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    std::unique_lock<std::mutex> lock(mutex);
    return !changed.wait_until(lock, deadline, [this] { return requested; });
}
