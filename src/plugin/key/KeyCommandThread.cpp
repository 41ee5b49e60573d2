#include "plugin/key/KeyCommandThread.h"

#include <utility>

KeyCommandThread::KeyCommandThread() : thread([this] { Loop(); }) {}

KeyCommandThread::~KeyCommandThread() { Stop(); }

bool KeyCommandThread::Post(Kind kind, Work work) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (stop.Requested()) return false;
        if (kind == Kind::Press) {
            if (queuedPresses >= kMaxQueuedPresses) return false;
            ++queuedPresses;
        } else if (kind == Kind::Release && !queue.empty() && queue.back().kind == Kind::Release) {
            return true;  // the release queued already does it
        }
        queue.push_back(Entry{kind, std::move(work)});
    }
    changed.notify_all();
    return true;
}

void KeyCommandThread::WaitUntilIdle() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return stop.Requested() || (queue.empty() && !busy); });
}

void KeyCommandThread::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        stop.Request();
        queue.clear();
        queuedPresses = 0;
    }
    changed.notify_all();
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
}

void KeyCommandThread::Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stop.Requested() || !queue.empty(); });
        if (stop.Requested()) return;
        Entry entry = std::move(queue.front());
        queue.pop_front();
        if (entry.kind == Kind::Press) --queuedPresses;
        busy = true;
        lock.unlock();
        try {
            entry.work(stop);
        } catch (...) {
            // As for a message that cannot be handled: the next one runs normally.
        }
        entry.work = nullptr;  // its captures go before the thread reports idle
        lock.lock();
        busy = false;
        changed.notify_all();
    }
}
