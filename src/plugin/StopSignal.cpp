#include "plugin/StopSignal.h"

#include "platform/Platform.h"

#include <algorithm>
#include <chrono>

bool StopSignal::Wait(int milliseconds) const {
    using Clock = std::chrono::steady_clock;
    // Slices against one deadline: a long wait stays as long as asked, and
    // short waits (a held move's 1 ms steps) are one platform wait as before.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    while (!Requested()) {
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (remaining <= 0) return true;
        platform::SleepMilliseconds(static_cast<int>(std::min<long long>(remaining, kSliceMs)));
    }
    return false;
}
