#pragma once

#include "plugin/StopSignal.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Runs the work of key events on a thread of its own, one at a time, in the
// order the events arrived, so that the connection keeps reading and sending
// while a press waits out its passes.
class KeyCommandThread {
public:
    using Work = std::function<void(const StopSignal&)>;

    // A press starts a command; a release only ends a hold, so releases are
    // never dropped and one in a row is as good as several. A cleanup lets go
    // of what one key or device holds: never dropped nor merged, so its
    // callers bound how many they post.
    enum class Kind { Press, Release, Cleanup };

    KeyCommandThread();
    ~KeyCommandThread();
    KeyCommandThread(const KeyCommandThread&) = delete;
    KeyCommandThread& operator=(const KeyCommandThread&) = delete;

    // Queues work behind everything posted before. A press is dropped when
    // kMaxQueuedPresses are waiting already (each takes 200 ms or more: a
    // host that floods presses gets no hours of backlog). Work that raises
    // is dropped like a host message that cannot be handled. True when the
    // work was queued.
    bool Post(Kind kind, Work work);

    // Returns once everything posted before has run.
    void WaitUntilIdle();

    // Cuts the running work short at its next wait, drops what is queued and
    // joins the thread. Later posts are dropped.
    void Stop();

    static constexpr std::size_t kMaxQueuedPresses = 64;

private:
    struct Entry {
        Kind kind;
        Work work;
    };

    void Loop();

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Entry> queue;
    std::size_t queuedPresses = 0;
    bool busy = false;
    StopSignal stop;
    std::thread thread;  // last: starts once the members above exist
};
