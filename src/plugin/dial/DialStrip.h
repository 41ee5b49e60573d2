#pragma once

#include "plugin/dial/DialSettings.h"

#include <nlohmann/json.hpp>

#include <string>

// What a dial's touch strip and the host's help show, in the user's language.

// setFeedback's payload for the "$B1" layout: the axis the dial drives now
// as the title, the step with its unit as the value, the acceleration as the
// indicator bar (0..100).
nlohmann::json StripFeedback(const DialSettings& settings, DialAxis axis);

// setTriggerDescription's payload: what turning, pushing, touching and
// touching long do.
nlohmann::json TriggerDescriptions(const DialSettings& settings, DialAxis axis);

// The step as the strip shows it: whole or partial notches for the wheels
// ("1", "0.5", "-2.25"), pixels for the moves; without the unit.
std::string StepNumber(std::int32_t step, DialAxis axis);
