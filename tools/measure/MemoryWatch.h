#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Samples a process's resident memory every few milliseconds on a thread of
// its own, for as long as it lives, and keeps the highest value. Above
// `killKilobytes` it kills the process: a plugin that holds everything a
// stalled host is sent would otherwise take the machine's memory with it.
class MemoryWatch {
public:
    MemoryWatch(pid_t pid, long killKilobytes);
    ~MemoryWatch();

    long HighestKilobytes() const { return highest; }
    bool Killed() const { return killed; }

private:
    void Watch();

    const pid_t pid;
    const long killKilobytes;
    std::atomic<long> highest{0};
    std::atomic<bool> killed{false};
    std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;
    std::thread thread;  // last: starts once the members above exist
};
