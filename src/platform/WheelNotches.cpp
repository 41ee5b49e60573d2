#include "platform/WheelNotches.h"

#include "platform/Platform.h"

namespace platform {

long long TakeWholeNotches(long long& remainder, std::int32_t amount) {
    remainder += amount;
    const long long notches = remainder / WHEEL_DELTA;
    remainder -= notches * WHEEL_DELTA;
    return notches;
}

}  // namespace platform
