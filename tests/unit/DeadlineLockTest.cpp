// The lock of the input gate: taken when free, given up at a deadline while
// another thread holds it, and handed on once that thread lets go.
#include "support/DeadlineLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

TEST(DeadlineLock, AFreeLockIsTakenEvenWithADeadlineGoneBy) {
    DeadlineLock lock;
    ASSERT_TRUE(lock.try_lock_until(Clock::now() - std::chrono::seconds(1)));
    lock.unlock();
    std::lock_guard<DeadlineLock> guard(lock);
}

TEST(DeadlineLock, AHeldLockIsGivenUpAtTheDeadlineAndHandedOnWhenLetGo) {
    DeadlineLock lock;
    std::promise<void> taken;
    std::promise<void> letGo;
    std::thread holder([&] {
        std::lock_guard<DeadlineLock> guard(lock);
        taken.set_value();
        letGo.get_future().wait();
    });
    taken.get_future().wait();

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(20);
    EXPECT_FALSE(lock.try_lock_until(deadline)) << "taken while held";
    EXPECT_GE(Clock::now(), deadline) << "given up before the deadline";

    std::atomic<bool> waiterHasIt{false};
    std::thread waiter([&] {
        std::lock_guard<DeadlineLock> guard(lock);
        waiterHasIt = true;
    });
    letGo.set_value();
    holder.join();
    waiter.join();
    EXPECT_TRUE(waiterHasIt);
    EXPECT_TRUE(lock.try_lock_until(Clock::now())) << "not let go by the waiter";
    lock.unlock();
}

}  // namespace
