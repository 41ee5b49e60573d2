#include "plugin/key/KeyCommandThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Kind = KeyCommandThread::Kind;
using Clock = std::chrono::steady_clock;

// Work that appends its name to a log written only by the key-command thread.
struct Log {
    std::vector<std::string> entries;
    KeyCommandThread::Work Append(const std::string& name) {
        return [this, name](const StopSignal&) { entries.push_back(name); };
    }
};

// Holds the thread inside one piece of work until released, so that later
// posts pile up behind it.
struct Gate {
    std::atomic<bool> entered{false};
    std::atomic<bool> open{false};
    KeyCommandThread::Work Work() {
        return [this](const StopSignal& stop) {
            entered = true;
            while (!open && stop.Wait(1)) {
            }
        };
    }
    void WaitUntilEntered() const {
        while (!entered) std::this_thread::yield();
    }
};

TEST(KeyCommandThread, RunsWorkInPostingOrderAndSurvivesWorkThatRaises) {
    KeyCommandThread thread;
    Log log;
    thread.Post(Kind::Press, log.Append("press a"));
    thread.Post(Kind::Press, [](const StopSignal&) { throw std::invalid_argument("bad number"); });
    thread.Post(Kind::Release, log.Append("release"));
    thread.Post(Kind::Press, log.Append("press b"));
    thread.WaitUntilIdle();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"press a", "release", "press b"}));
}

TEST(KeyCommandThread, FloodedPressesAreBoundedButReleasesAlwaysTakeEffect) {
    KeyCommandThread thread;
    Gate gate;
    Log log;
    thread.Post(Kind::Press, gate.Work());
    gate.WaitUntilEntered();
    for (std::size_t i = 0; i < KeyCommandThread::kMaxQueuedPresses + 10; ++i) {
        thread.Post(Kind::Press, log.Append("press"));
    }
    thread.Post(Kind::Release, log.Append("release 1"));
    thread.Post(Kind::Release, log.Append("release 2"));  // one in a row is enough
    thread.Post(Kind::Press, log.Append("late press"));  // still over the bound
    gate.open = true;
    thread.WaitUntilIdle();

    std::vector<std::string> expected(KeyCommandThread::kMaxQueuedPresses, "press");
    expected.push_back("release 1");
    EXPECT_EQ(log.entries, expected);

    thread.Post(Kind::Press, log.Append("press once drained"));
    thread.WaitUntilIdle();
    EXPECT_EQ(log.entries.back(), "press once drained");
}

// A cleanup lets go of one key's button: neither the press bound nor the
// merging of releases may lose it.
TEST(KeyCommandThread, CleanupsAreNeverDroppedNorMerged) {
    KeyCommandThread thread;
    Gate gate;
    Log log;
    thread.Post(Kind::Press, gate.Work());
    gate.WaitUntilEntered();
    for (std::size_t i = 0; i < KeyCommandThread::kMaxQueuedPresses; ++i) {
        thread.Post(Kind::Press, [](const StopSignal&) {});
    }
    EXPECT_FALSE(thread.Post(Kind::Press, log.Append("over the bound")));
    EXPECT_TRUE(thread.Post(Kind::Release, log.Append("release")));
    EXPECT_TRUE(thread.Post(Kind::Cleanup, log.Append("cleanup a")));
    EXPECT_TRUE(thread.Post(Kind::Cleanup, log.Append("cleanup b")));
    EXPECT_TRUE(thread.Post(Kind::Release, log.Append("release after the cleanups")));
    EXPECT_TRUE(thread.Post(Kind::Release, log.Append("merged")));
    gate.open = true;
    thread.WaitUntilIdle();
    EXPECT_EQ(log.entries,
              (std::vector<std::string>{"release", "cleanup a", "cleanup b", "release after the cleanups"}));
    thread.Stop();
    EXPECT_FALSE(thread.Post(Kind::Cleanup, log.Append("after the stop")));
}

TEST(KeyCommandThread, StopCutsTheRunningWorkShortAndDropsTheRest) {
    KeyCommandThread thread;
    Log log;
    std::atomic<bool> waitCompleted{true};
    std::atomic<bool> started{false};
    thread.Post(Kind::Press, [&](const StopSignal& stop) {
        started = true;
        waitCompleted = stop.Wait(60000);
    });
    thread.Post(Kind::Release, log.Append("queued"));
    while (!started) std::this_thread::yield();

    const Clock::time_point requested = Clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - requested).count(), 50);
    EXPECT_FALSE(waitCompleted);
    thread.Post(Kind::Press, log.Append("after the stop"));
    thread.WaitUntilIdle();
    EXPECT_TRUE(log.entries.empty());
}

TEST(StopSignal, WaitLastsAsLongAsAskedUnlessStopped) {
    StopSignal signal;
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(signal.Wait(35));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(waited, 35);
    EXPECT_TRUE(signal.Wait(0));
    signal.Request();
    EXPECT_FALSE(signal.Wait(0));
    EXPECT_FALSE(signal.Wait(1000));
}

}  // namespace
