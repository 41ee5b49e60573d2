#include "MemoryWatch.h"

#include "ProcessStatus.h"

#include <signal.h>

#include <chrono>

MemoryWatch::MemoryWatch(pid_t pid, long killKilobytes)
    : pid(pid), killKilobytes(killKilobytes), thread(&MemoryWatch::Watch, this) {}

MemoryWatch::~MemoryWatch() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopping = true;
    }
    stopped.notify_all();
    thread.join();
}

void MemoryWatch::Watch() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopped.wait_for(lock, std::chrono::milliseconds(5), [this] { return stopping; })) {
        const long resident = StatusKilobytes(pid, "VmRSS");  // -1 once the process is gone
        if (resident > highest) highest = resident;
        if (resident > killKilobytes && !killed) {
            killed = true;
            kill(pid, SIGKILL);
        }
    }
}
