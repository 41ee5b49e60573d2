#include "plugin/key/runs/KeyCommandThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

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
    thread.Post("a", "deck", log.Append("press a"));
    thread.Post("b", "deck", [](const StopSignal&) { throw std::invalid_argument("bad number"); });
    thread.Post("b", "deck", log.Append("press b"));
    thread.WaitUntilIdle();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"press a", "press b"}));
}

TEST(KeyCommandThread, FloodedPressesAreBounded) {
    KeyCommandThread thread;
    Gate gate;
    Log log;
    thread.Post("gate", "deck", gate.Work());
    gate.WaitUntilEntered();
    for (std::size_t i = 0; i < KeyCommandThread::kMaxQueuedPresses; ++i) {
        EXPECT_TRUE(thread.Post("a", "deck", log.Append("press")));
    }
    EXPECT_FALSE(thread.Post("a", "deck", log.Append("over the bound")));
    gate.open = true;
    thread.WaitUntilIdle();
    EXPECT_EQ(log.entries, std::vector<std::string>(KeyCommandThread::kMaxQueuedPresses, "press"));

    thread.Post("a", "deck", log.Append("press once drained"));
    thread.WaitUntilIdle();
    EXPECT_EQ(log.entries.back(), "press once drained");
}

// The end of a key or device does not wait behind a backlog of presses: it
// drops the queued presses it concerns, and only those, and stops the running
// one if it concerns it, returning once that one is out.
TEST(KeyCommandThread, EndOfAKeyOrDeviceDropsItsPressesAndStopsItsRunningOne) {
    struct EndCase {
        const char* name;
        std::function<void(KeyCommandThread&)> end;
        std::vector<std::string> left;  // of the queued a and b on deck 1, c on deck 2
        bool stopsRunning;              // the running press is key a's, on deck 1
    };
    const EndCase cases[] = {
        {"key a", [](KeyCommandThread& t) { t.EndKey("a"); }, {"b", "c"}, true},
        {"key b", [](KeyCommandThread& t) { t.EndKey("b"); }, {"a", "c"}, false},
        {"deck 1", [](KeyCommandThread& t) { t.EndDevice("deck 1"); }, {"c"}, true},
        {"deck 2", [](KeyCommandThread& t) { t.EndDevice("deck 2"); }, {"a", "b"}, false},
        {"a key never seen", [](KeyCommandThread& t) { t.EndKey("z"); }, {"a", "b", "c"}, false},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        KeyCommandThread thread;
        Log log;
        std::atomic<bool> started{false};
        std::atomic<bool> waitCompleted{false};
        thread.Post("a", "deck 1", [&](const StopSignal& stop) {
            started = true;
            waitCompleted = stop.Wait(c.stopsRunning ? 60000 : 300);
        });
        while (!started) std::this_thread::yield();
        thread.Post("a", "deck 1", log.Append("a"));
        thread.Post("b", "deck 1", log.Append("b"));
        thread.Post("c", "deck 2", log.Append("c"));
        const Clock::time_point ended = Clock::now();
        c.end(thread);
        if (c.stopsRunning) {
            EXPECT_FALSE(waitCompleted) << "returned before the running press was out";
            EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - ended).count(), 1000);
        }
        thread.WaitUntilIdle();
        EXPECT_EQ(waitCompleted, !c.stopsRunning);
        EXPECT_EQ(log.entries, c.left);
    }
}

TEST(KeyCommandThread, StopCutsTheRunningWorkShortAndDropsTheRest) {
    KeyCommandThread thread;
    Log log;
    std::atomic<bool> waitCompleted{true};
    std::atomic<bool> started{false};
    thread.Post("a", "deck", [&](const StopSignal& stop) {
        started = true;
        waitCompleted = stop.Wait(60000);
    });
    thread.Post("b", "deck", log.Append("queued"));
    while (!started) std::this_thread::yield();

    const Clock::time_point requested = Clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - requested).count(), 50);
    EXPECT_FALSE(waitCompleted);
    EXPECT_FALSE(thread.Post("a", "deck", log.Append("after the stop")));
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
