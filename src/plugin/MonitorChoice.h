#pragma once

#include "platform/Platform.h"

#include <optional>
#include <string>
#include <vector>

// Monitors as users number them in "my_monitor": 1 is the primary display;
// the others follow from left to right, and from top to bottom where they
// share a left edge. "cursor" names the monitor that holds the pointer.

// The monitors in that order. The first one marked primary comes first; when
// none is marked, the order is left to right throughout.
std::vector<platform::Monitor> NumberMonitors(std::vector<platform::Monitor> monitors);

// The monitor that `choice` names among `numbered` (as NumberMonitors gives
// them): "1".."N" in plain decimal digits, or "cursor": the monitor holding
// `cursor`, the nearest one when it lies between monitors, the first when it
// is unknown. Nothing for any other text, a number past the last monitor
// included: such a key does nothing, rather than act on another monitor
// than the one the user chose.
std::optional<platform::Monitor> ChooseMonitor(const std::string& choice,
                                               const std::vector<platform::Monitor>& numbered,
                                               const std::optional<platform::Point>& cursor);

// (x, y), whose sum may exceed 32 bits, moved to the nearest pixel of the monitor.
platform::Point KeepInside(std::int64_t x, std::int64_t y, const platform::Monitor& monitor);

// The system's monitors, numbered; the primary screen alone when the system
// lists none.
std::vector<platform::Monitor> NumberedSystemMonitors();

// ChooseMonitor over the system's monitors (the primary screen alone when the
// system lists none) and, for "cursor", its pointer.
std::optional<platform::Monitor> FindChosenMonitor(const std::string& choice);
