#pragma once

#include <chrono>
#include <cstdint>

// How far one dialRotate event drives its axis, with the dial's acceleration:
// slow single ticks keep the exact step, while a fast turn (several ticks in
// one event, or events less than kRunGapMs apart) grows it tick by tick by
// `accel` percent of the step, up to ten times the step. Turning back or
// pausing starts over. One per dial, on the connection's thread.
class DialTurn {
public:
    using Clock = std::chrono::steady_clock;

    // The signed amount for `ticks` (positive clockwise) of `step` each,
    // turned at `now`. Tick counts beyond kMaxTicks count as kMaxTicks, and
    // the result is kept within ±`mostPerEvent`, so that no event, however
    // large, makes more than a bounded burst of input.
    std::int64_t Amount(std::int64_t ticks, std::int32_t step, std::int32_t accel, std::int64_t mostPerEvent,
                        Clock::time_point now);

    // Forgets the run: the next tick moves by the plain step.
    void Reset();

    static constexpr std::int64_t kRunGapMs = 50;
    static constexpr std::int64_t kMaxTicks = 100;

private:
    std::int64_t run = 0;    // ticks turned so far in the current run
    int direction = 0;       // of the current run: -1, 1, or 0 when there is none
    Clock::time_point last;  // of the last event of the run
};
