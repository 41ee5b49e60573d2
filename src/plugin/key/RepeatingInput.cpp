#include "plugin/key/RepeatingInput.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

RepeatingInput::RepeatingInput(int periodMs, std::function<void()> step)
    : thread([this, periodMs, step = std::move(step)] { Run(periodMs, step); }) {}

RepeatingInput::~RepeatingInput() { Stop(); }

void RepeatingInput::Stop() {
    stop.Request();
    if (thread.joinable()) thread.join();
}

void RepeatingInput::Run(int periodMs, const std::function<void()>& step) {
    using Clock = std::chrono::steady_clock;
    // Timed from each step's start, so that the time a step takes does not
    // slow the rate; never sooner, so that no two steps come closer than the
    // period, whatever a late wake-up did before.
    for (;;) {
        const Clock::time_point started = Clock::now();
        step();
        const auto left = started + std::chrono::milliseconds(periodMs) - Clock::now();
        const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        if (!stop.Wait(static_cast<int>(std::max<std::int64_t>(leftMs, 0)))) return;
    }
}
