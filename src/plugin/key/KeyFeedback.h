#pragma once

#include <string>

// What a key command shows on its key. Callable from the key-command thread;
// the plugin hands it to the connection's thread, where the key's current
// settings choose the image.
class KeyFeedback {
public:
    enum class Image { Own, Held };

    virtual ~KeyFeedback() = default;

    // The key's icon, or its held variant while a toggle keeps a button down.
    virtual void ShowKeyImage(const std::string& context, Image image) = 0;

    // The host's alert on the key: its input may not have arrived.
    virtual void ShowAlert(const std::string& context) = 0;
};
