#include "plugin/key/runs/KeyCommandThread.h"

#include <algorithm>
#include <utility>

KeyCommandThread::KeyCommandThread() : thread([this] { Loop(); }) {}

KeyCommandThread::~KeyCommandThread() { Stop(); }

bool KeyCommandThread::Post(const std::string& context, const std::string& device, Work work) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (stopped || queue.size() >= kMaxQueuedPresses) return false;
        queue.push_back(Entry{context, device, std::move(work)});
    }
    changed.notify_all();
    return true;
}

void KeyCommandThread::EndKey(const std::string& context) {
    End([&context](const std::string& key, const std::string&) { return key == context; });
}

void KeyCommandThread::EndDevice(const std::string& device) {
    End([&device](const std::string&, const std::string& of) { return of == device; });
}

void KeyCommandThread::End(const std::function<bool(const std::string&, const std::string&)>& concerns) {
    std::unique_lock<std::mutex> lock(mutex);
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const Entry& entry) { return concerns(entry.context, entry.device); }),
                queue.end());
    const auto running = [&] { return busy && concerns(runningContext, runningDevice); };
    if (!running()) return;
    runningStop.Request();
    // Its waits end at once; once it is out, nothing it does can follow what
    // the caller ends next (a lock it might still take).
    if (thread.get_id() != std::this_thread::get_id()) changed.wait(lock, [&] { return !running(); });
}

void KeyCommandThread::WaitUntilIdle() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return stopped || (queue.empty() && !busy); });
}

void KeyCommandThread::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopped = true;
        queue.clear();
        runningStop.Request();
    }
    changed.notify_all();
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
}

void KeyCommandThread::Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopped || !queue.empty(); });
        if (stopped) return;
        Entry entry = std::move(queue.front());
        queue.pop_front();
        busy = true;
        runningContext = entry.context;
        runningDevice = entry.device;
        runningStop.Reset();
        lock.unlock();
        try {
            entry.work(runningStop);
        } catch (...) {
            // As for a message that cannot be handled: the next one runs normally.
        }
        entry.work = nullptr;  // its captures go before the thread reports idle
        lock.lock();
        busy = false;
        changed.notify_all();
    }
}
