#pragma once

#include "plugin/StopSignal.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Runs the presses of keys on a thread of its own, one at a time, in the
// order they arrived, so that the connection keeps reading and sending while
// a press waits out its passes. What ends a key or a device does not queue
// behind them: it drops the queued presses it concerns and cuts the running
// one short at its next wait.
class KeyCommandThread {
public:
    using Work = std::function<void(const StopSignal&)>;

    KeyCommandThread();
    ~KeyCommandThread();
    KeyCommandThread(const KeyCommandThread&) = delete;
    KeyCommandThread& operator=(const KeyCommandThread&) = delete;

    // Queues the press of the key `context` on `device` behind everything
    // posted before. Dropped when kMaxQueuedPresses are waiting already (each
    // takes 200 ms or more: a host that floods presses gets no hours of
    // backlog). Work that raises is dropped like a host message that cannot
    // be handled. True when the work was queued.
    bool Post(const std::string& context, const std::string& device, Work work);

    // The key is gone: its queued presses are dropped, its running one stops
    // at its next wait, and this returns once it has.
    void EndKey(const std::string& context);

    // The same for every key of the device.
    void EndDevice(const std::string& device);

    // Returns once everything posted before has run.
    void WaitUntilIdle();

    // Cuts the running work short at its next wait, drops what is queued and
    // joins the thread. Later posts are dropped.
    void Stop();

    static constexpr std::size_t kMaxQueuedPresses = 64;

private:
    struct Entry {
        std::string context;
        std::string device;
        Work work;
    };

    // Drops the queued entries that `concerns` and stops the running one if it does.
    void End(const std::function<bool(const std::string& context, const std::string& device)>& concerns);
    void Loop();

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Entry> queue;
    bool busy = false;
    bool stopped = false;
    std::string runningContext;
    std::string runningDevice;
    StopSignal runningStop;  // the running entry's; reset as each starts
    std::thread thread;      // last: starts once the members above exist
};
