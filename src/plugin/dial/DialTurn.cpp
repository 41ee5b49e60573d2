#include "plugin/dial/DialTurn.h"

#include <algorithm>

namespace {

// Percent of the step, for the tick `index` ticks into a run.
std::int64_t Factor(std::int64_t index, std::int32_t accel) {
    constexpr std::int64_t kMostPercent = 1000;  // ten times the step
    return std::min(kMostPercent, 100 + static_cast<std::int64_t>(accel) * index);
}

}  // namespace

std::int64_t DialTurn::Amount(std::int64_t ticks, std::int32_t step, std::int32_t accel, std::int64_t mostPerEvent,
                              Clock::time_point now) {
    if (ticks == 0) return 0;
    const int sign = ticks > 0 ? 1 : -1;
    const std::int64_t count = std::min(ticks > 0 ? ticks : -ticks, kMaxTicks);
    const bool continues = direction == sign && now - last < std::chrono::milliseconds(kRunGapMs);
    if (!continues) run = 0;
    std::int64_t percent = 0;
    for (std::int64_t i = 0; i < count; ++i) percent += Factor(run + i, accel);
    // Past ten times the step the run need not grow further; capping it keeps it small.
    run = std::min<std::int64_t>(run + count, 1000);
    direction = sign;
    last = now;
    // |step| <= 2^31 and percent <= kMaxTicks * 1000: the product fits easily.
    const std::int64_t scaled = static_cast<std::int64_t>(step) * percent;
    const std::int64_t rounded = scaled >= 0 ? (scaled + 50) / 100 : -((-scaled + 50) / 100);
    return std::clamp(sign * rounded, -mostPerEvent, mostPerEvent);
}

void DialTurn::Reset() {
    run = 0;
    direction = 0;
}
