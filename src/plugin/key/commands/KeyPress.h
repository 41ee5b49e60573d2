#pragma once

#include <string>

struct ActiveMouseCommand;
class KeyFeedback;
class OngoingCommands;
class SavedPositions;
class StopSignal;
class ToggleLocks;

// A key press as its command sees it: the key, the active command loaded from
// its settings, and what the command may use. Valid during the call only.
struct KeyPress {
    const std::string& context;
    const std::string& device;
    const ActiveMouseCommand& active;
    const StopSignal& stop;
    KeyFeedback& feedback;
    ToggleLocks& toggles;
    OngoingCommands& ongoing;  // the autoclick toggles and the jiggler
    SavedPositions& positions;
};
