#pragma once

#include <string>

struct ActiveMouseCommand;
class KeyFeedback;
class KeyRuns;
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
    KeyRuns& runs;  // what goes on after the press: held commands, autoclicks, sequences, the jiggler
    SavedPositions& positions;
};
