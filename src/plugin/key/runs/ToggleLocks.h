#pragma once

#include "platform/Platform.h"
#include "plugin/ModifierSetting.h"

#include <string>

class HeldButtons;

// The buttons that toggle keys keep down (drag lock), each held in the
// owner of held buttons under its key's lock holder. Safe from any thread:
// the end of a key or device lets go at once, without waiting for the
// commands queued before it.
class ToggleLocks {
public:
    explicit ToggleLocks(HeldButtons& held);

    // The key's first press holds `button` down, with `modifiers` pressed
    // before it; the next lets go of the button and keys it held (the button
    // first). True when the key holds its lock now: its image shows held.
    // Whatever ends the lock lets go of its keys with its button.
    bool Press(const std::string& context, const std::string& device, platform::MouseButton button,
               const Modifiers& modifiers);

    // The key is gone (willDisappear) or its command changed: its lock ends.
    // True when it had one. No image: the caller knows whether the key is shown.
    bool ReleaseKey(const std::string& context);

    // The device is gone (deviceDidDisconnect): the locks of its keys end.
    void ReleaseDevice(const std::string& device);

    // Whether the key's lock holds its button: the truth its image shows.
    bool IsLocked(const std::string& context) const;

private:
    HeldButtons& held;
};
