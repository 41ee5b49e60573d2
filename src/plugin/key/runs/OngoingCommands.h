#pragma once

#include "plugin/key/runs/KeyRuns.h"

#include <string>

class ToggleLocks;

// What key commands keep doing after their press: the drag locks of the
// toggles and the runs of the keys (KeyRuns). A key that has a lock, a
// running autoclick toggle or the jiggler on shows its held image. Safe from
// any thread but the runs'.
class OngoingCommands {
public:
    explicit OngoingCommands(ToggleLocks& locks);

    // The one question the key's image asks.
    bool ShowsHeld(const std::string& context) const;

    // The key was pressed again while something of its own goes on that its
    // next press ends (a lock, an autoclick toggle, the jiggler, a
    // sequence): it ends at once, ahead of the presses queued before, and
    // the press does nothing else. True then.
    bool EndedByPress(const std::string& context);

    // A press of the key took effect: a held move or scroll of any other key ends.
    void KeyPressed(const std::string& context);

    // The key is gone (willDisappear): its lock and its runs end; the
    // jiggler goes on, as the host cannot tell a page switch from a key
    // removed. No image: the key is not shown.
    void KeyGone(const std::string& context);

    // The key's command changed: whatever its old command keeps on ends.
    // True when something did.
    bool CommandChanged(const std::string& context);

    // The device is gone (deviceDidDisconnect): everything its keys keep on ends.
    void DeviceGone(const std::string& device);

    // The plugin ends: every run stops. (The input gate lets go of the
    // locks' buttons.)
    void EndAll();

    ToggleLocks& locks;
    KeyRuns runs;
};
