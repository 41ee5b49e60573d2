#pragma once

#include <cstdint>

// A held command's step after `heldMs` of holding: the first step grown by
// `accelPercent` percent of itself for every second held (linearly: 100 %
// doubles it after one second, triples it after two), never beyond ten times
// the first step. Rounded to the nearest unit, halves away from zero, and kept
// within 32 bits. A percentage or a time of zero or less leaves the first step.
std::int32_t AcceleratedStep(std::int32_t firstStep, std::int32_t accelPercent, std::int64_t heldMs);
