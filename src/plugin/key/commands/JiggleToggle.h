#pragma once

#include "platform/Platform.h"

#include <cstdint>

struct KeyPress;

// "MOUSE_JIGGLE_TOGGLE" keeps the system from going idle: while on, the
// pointer moves one pixel right and back as relative input, in one batch, at
// once and then every "my_sleep" seconds (kJiggleDefaultSeconds when empty,
// at least kJiggleShortestSeconds), as a run of its key's (KeyRuns); a change of its
// settings takes effect at its next step. It takes no
// modifiers: keys held every minute would disturb the user.
// The next press of its key turns it off. At most one jiggler runs: a press
// of another jiggle key stops the one that runs, whose key shows its own icon
// again, and starts its own. It goes on after its key's willDisappear, and
// stops at its device's end and the plugin's.
void JiggleToggle(const KeyPress& press, platform::MouseButton unused);

constexpr const char* kJiggleCommand = "MOUSE_JIGGLE_TOGGLE";
constexpr std::int32_t kJiggleDefaultSeconds = 60;
constexpr std::int32_t kJiggleShortestSeconds = 5;

// The period of a jiggler whose "my_sleep" converted to `seconds`, in ms.
int JigglePeriodMs(std::int32_t seconds);
