#include "plugin/key/runs/RepeatingInput.h"

#include "support/TimeLeft.h"

#include <chrono>

RepeatingInput::RepeatingInput(int periodMs, std::function<void()> step)
    : thread([this, periodMs, step = std::move(step)] { Run(periodMs, step); }) {}

RepeatingInput::~RepeatingInput() { Stop(); }

void RepeatingInput::Stop() {
    stop.Request();
    if (thread.joinable()) thread.join();
}

void RepeatingInput::Run(int periodMs, const std::function<void()>& step) {
    // Timed from each step's start, so that the time a step takes does not
    // slow the rate; never sooner, so that no two steps come closer than the
    // period, whatever a late wake-up did before.
    for (;;) {
        const auto started = std::chrono::steady_clock::now();
        step();
        if (!stop.Wait(MillisecondsLeft(started, periodMs))) return;
    }
}
