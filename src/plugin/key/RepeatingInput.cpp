#include "plugin/key/RepeatingInput.h"

#include <algorithm>
#include <chrono>

RepeatingInput::RepeatingInput(int periodMs, std::function<void()> step)
    : thread([this, periodMs, step = std::move(step)] { Run(periodMs, step); }) {}

RepeatingInput::~RepeatingInput() { Stop(); }

void RepeatingInput::Stop() {
    stop.Request();
    if (thread.joinable()) thread.join();
}

void RepeatingInput::Run(int periodMs, const std::function<void()>& step) {
    using Clock = std::chrono::steady_clock;
    // Timed from each step's start, so that the time a step takes and a late
    // wake-up do not add up over a long run.
    for (Clock::time_point next = Clock::now();;) {
        step();
        next = std::max(next + std::chrono::milliseconds(periodMs), Clock::now());
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
        if (!stop.Wait(static_cast<int>(left.count()))) return;
    }
}
