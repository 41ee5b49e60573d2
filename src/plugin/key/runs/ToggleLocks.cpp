#include "plugin/key/runs/ToggleLocks.h"

#include "plugin/HeldButtons.h"
#include "plugin/key/runs/KeyFeedback.h"

ToggleLocks::ToggleLocks(HeldButtons& held) : held(held) {}

void ToggleLocks::Press(const std::string& context, const std::string& device, platform::MouseButton button,
                        const Modifiers& modifiers, KeyFeedback& feedback) {
    // A second press lets go of the button the key holds, even if its
    // settings name another one now.
    const bool locked = held.Toggle(LockHolder(context), button, device, modifiers);
    feedback.ShowKeyImage(context, locked ? KeyFeedback::Image::Held : KeyFeedback::Image::Own);
}

bool ToggleLocks::ReleaseKey(const std::string& context) { return held.LetGo(LockHolder(context)); }

void ToggleLocks::ReleaseDevice(const std::string& device) { held.LetGoOfDevice(device); }

bool ToggleLocks::IsLocked(const std::string& context) const { return held.Holds(LockHolder(context)); }
