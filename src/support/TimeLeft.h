#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

// What is left of `periodMs` counted from `start`, rounded up so that a wait
// for it never ends early; none once the period is over.
inline int MillisecondsLeft(std::chrono::steady_clock::time_point start, int periodMs) {
    const auto left = start + std::chrono::milliseconds(periodMs) - std::chrono::steady_clock::now();
    return static_cast<int>(std::max<std::int64_t>(std::chrono::ceil<std::chrono::milliseconds>(left).count(), 0));
}
