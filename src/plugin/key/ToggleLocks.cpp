#include "plugin/key/ToggleLocks.h"

#include "plugin/key/KeyFeedback.h"
#include "plugin/MouseInjection.h"

using platform::InputEvent;

void ToggleLocks::Press(const std::string& context, const std::string& device, platform::MouseButton button,
                        KeyFeedback& feedback) {
    const auto found = locks.find(context);
    if (found != locks.end()) {
        // The button this key pressed, even if its settings name another one now.
        Release(found);
        feedback.ShowKeyImage(context, KeyFeedback::Image::Own);
        return;
    }
    InjectInputBatch({InputEvent::Down(button)});
    locks.emplace(context, Lock{button, device});
    feedback.ShowKeyImage(context, KeyFeedback::Image::Held);
}

void ToggleLocks::ReleaseKey(const std::string& context) {
    const auto found = locks.find(context);
    if (found != locks.end()) Release(found);
}

void ToggleLocks::ReleaseDevice(const std::string& device) {
    for (auto lock = locks.begin(); lock != locks.end();) {
        lock = lock->second.device == device ? Release(lock) : std::next(lock);
    }
}

ToggleLocks::Locks::iterator ToggleLocks::Release(Locks::iterator lock) {
    InjectInputBatch({InputEvent::Up(lock->second.button)});
    return locks.erase(lock);
}
