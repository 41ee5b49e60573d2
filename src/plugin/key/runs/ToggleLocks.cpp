#include "plugin/key/runs/ToggleLocks.h"

#include "plugin/HeldButtons.h"

ToggleLocks::ToggleLocks(HeldButtons& held) : held(held) {}

bool ToggleLocks::Press(const std::string& context, const std::string& device, platform::MouseButton button,
                        const Modifiers& modifiers) {
    // A second press lets go of the button the key holds, even if its
    // settings name another one now.
    return held.Toggle(LockHolder(context), button, device, modifiers);
}

bool ToggleLocks::ReleaseKey(const std::string& context) { return held.LetGo(LockHolder(context)); }

void ToggleLocks::ReleaseDevice(const std::string& device) { held.LetGoOfDevice(device); }

bool ToggleLocks::IsLocked(const std::string& context) const { return held.Holds(LockHolder(context)); }
