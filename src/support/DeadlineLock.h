#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// A lock whose taking can give up at a deadline, as std::timed_mutex's can,
// made of a mutex and a condition variable. ThreadSanitizer follows these; it
// does not see the clock-based lock of a timed mutex and takes its unlock for
// the unlock of a mutex nobody holds. Lockable, for lock_guard and unique_lock.
class DeadlineLock {
public:
    void lock() {
        std::unique_lock<std::mutex> guard(mutex);
        freed.wait(guard, [this] { return !held; });
        held = true;
    }

    template <typename Clock, typename Duration>
    bool try_lock_until(const std::chrono::time_point<Clock, Duration>& deadline) {
        std::unique_lock<std::mutex> guard(mutex);
        if (!freed.wait_until(guard, deadline, [this] { return !held; })) return false;
        held = true;
        return true;
    }

    void unlock() {
        {
            std::lock_guard<std::mutex> guard(mutex);
            held = false;
        }
        freed.notify_one();
    }

private:
    std::mutex mutex;
    std::condition_variable freed;
    bool held = false;
};
