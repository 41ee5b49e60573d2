#pragma once

#include <string>

// What a key command shows on its key. Callable from the key-command thread;
// the plugin hands it to the connection's thread, where the key's current
// settings and whether it still shows held (OngoingCommands::ShowsHeld)
// choose the image.
class KeyFeedback {
public:
    enum class Image { Own, Held };

    virtual ~KeyFeedback() = default;

    // The key's icon, or its held variant while the key keeps something on
    // (a drag lock, an autoclick, the jiggler): `image` is what the command
    // just made true.
    virtual void ShowKeyImage(const std::string& context, Image image) = 0;

    // The host's alert on the key: its input may not have arrived.
    virtual void ShowAlert(const std::string& context) = 0;
};
