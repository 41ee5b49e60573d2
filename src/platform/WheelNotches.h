#pragma once

#include <cstdint>

namespace platform {

// Paths that can only send whole notches keep what is left of one for the
// next event of the same wheel, as a high-resolution wheel would: adds
// `amount` (WHEEL_DELTA per notch) to `remainder` and takes out the whole
// notches, signed, positive up or right.
long long TakeWholeNotches(long long& remainder, std::int32_t amount);

// What each wheel carries of a notch; cleared as a command's wheel input ends.
struct WheelRemainders {
    long long vertical = 0;
    long long horizontal = 0;
};

}  // namespace platform
