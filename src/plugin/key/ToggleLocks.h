#pragma once

#include "platform/Platform.h"

#include <map>
#include <string>

class KeyFeedback;

// The buttons that toggle keys keep down (drag lock), by key context. Used on
// the key-command thread only. The end of input releases them with every
// other button this process pressed.
class ToggleLocks {
public:
    // The key's first press presses `button` and leaves it down, showing the
    // key's held image; the next releases the button it pressed and shows the
    // key's own icon again.
    void Press(const std::string& context, const std::string& device, platform::MouseButton button,
               KeyFeedback& feedback);

    // The key is gone (willDisappear): its button goes up; no image, as the key is not shown.
    void ReleaseKey(const std::string& context);

    // The device is gone (deviceDidDisconnect): the buttons of its keys go up.
    void ReleaseDevice(const std::string& device);

private:
    struct Lock {
        platform::MouseButton button;
        std::string device;
    };

    using Locks = std::map<std::string, Lock>;

    // Lets the lock's button up and forgets the lock; returns the next one.
    Locks::iterator Release(Locks::iterator lock);

    Locks locks;
};
