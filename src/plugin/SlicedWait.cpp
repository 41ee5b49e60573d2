#include "plugin/SlicedWait.h"

#include "platform/Platform.h"

#include <algorithm>
#include <chrono>

bool WaitWhile(int milliseconds, int sliceMs, const std::function<bool()>& goOn) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    while (goOn()) {
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (remaining <= 0) return true;
        platform::SleepMilliseconds(static_cast<int>(std::min<long long>(remaining, sliceMs)));
    }
    return false;
}
