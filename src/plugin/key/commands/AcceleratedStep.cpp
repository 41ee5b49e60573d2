#include "plugin/key/commands/AcceleratedStep.h"

#include <algorithm>
#include <limits>

namespace {

// Growth in millionths of the first step: percent * milliseconds / 100 / 1000 * 1e6.
constexpr std::int64_t kWhole = 1000000;
constexpr std::int64_t kMostGrowth = 9 * kWhole;  // ten times the first step in all

}  // namespace

std::int32_t AcceleratedStep(std::int32_t firstStep, std::int32_t accelPercent, std::int64_t heldMs) {
    if (accelPercent <= 0 || heldMs <= 0) return firstStep;
    // percent * ms * 10 millionths; capped before the product could overflow.
    const std::int64_t perMs = 10 * static_cast<std::int64_t>(accelPercent);
    const std::int64_t growth = heldMs > kMostGrowth / perMs ? kMostGrowth : perMs * heldMs;
    const std::int64_t scaled = static_cast<std::int64_t>(firstStep) * (kWhole + growth);
    const std::int64_t half = kWhole / 2;
    const std::int64_t rounded = scaled >= 0 ? (scaled + half) / kWhole : -((-scaled + half) / kWhole);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(rounded, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}
