#include "plugin/StopSignal.h"

#include <algorithm>
#include <chrono>

namespace {

std::chrono::steady_clock::time_point DeadlineIn(int milliseconds) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
}

}  // namespace

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
    std::unique_lock<std::mutex> lock(mutex);
    return !changed.wait_until(lock, DeadlineIn(milliseconds), [this] { return requested; });
}

bool StopSignal::WaitFor(int milliseconds, const std::function<bool()>& ready) const {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_until(lock, DeadlineIn(milliseconds), [&] { return requested || ready(); });
    return !requested && ready();
}

void StopSignal::Notify() const {
    // Taken so that a waiter between looking at its condition and sleeping
    // cannot miss the wake.
    { std::lock_guard<std::mutex> guard(mutex); }
    changed.notify_all();
}
