#pragma once

#include "plugin/key/runs/RunningInputs.h"

#include <string>

class ToggleLocks;

// What key commands keep doing after their press: the drag locks of the
// toggles, the running autoclick toggles and the jiggler. A key that has one
// of them on shows its held image. Safe from any thread.
class OngoingCommands {
public:
    explicit OngoingCommands(ToggleLocks& locks);

    // The one question the key's image asks.
    bool ShowsHeld(const std::string& context) const;

    // The key is gone (willDisappear): its lock and its autoclick end; the
    // jiggler goes on, as the host cannot tell a page switch from a key
    // removed. No image: the key is not shown.
    void KeyGone(const std::string& context);

    // The key's command changed: whatever its old command keeps on ends.
    // True when something did.
    bool CommandChanged(const std::string& context);

    // The device is gone (deviceDidDisconnect): everything its keys keep on ends.
    void DeviceGone(const std::string& device);

    // The plugin ends: the autoclicks and the jiggler stop. (The input gate
    // lets go of the locks' buttons.)
    void EndAll();

    ToggleLocks& locks;
    RunningInputs autoclicks;  // "MOUSE_AUTOCLICK_TOGGLE", any number of keys
    RunningInputs jiggler;     // "MOUSE_JIGGLE_TOGGLE", one key at most
};
