#pragma once

#include "host/ImageOutbox.h"

#include <cstddef>
#include <functional>
#include <string>

// The rule for what goes to a host that is slow to read. A key image waits,
// as its file's path, while kUnsentLimit bytes are unsent, and only the
// newest image of a key is kept (ImageOutbox): an older one is not worth
// showing. Every other message goes at once, however much is unsent: it
// carries the user's data or state (settings, titles, alerts, what a
// settings page is told) and must not be lost. They are small, one for a
// host event or a key press, or one of an open settings page's pointer
// readout (ten a second at most), so what they hold grows only with what the
// host sends and the user does while the host does not read.
class OutgoingQueue {
public:
    struct Wire {
        std::function<std::size_t()> unsent;  // bytes handed to the connection and not yet taken by the host
        std::function<void(const std::string& text)> sendText;
        std::function<void(const ImageOutbox::Image& image)> sendImage;
    };

    // Enough for a page of icons at once, little enough to hold for a host
    // that does not read. (A connection that hands its queue to the socket
    // whole holds at most twice this plus two images.)
    static constexpr std::size_t kUnsentLimit = 4 * 1024 * 1024;

    explicit OutgoingQueue(Wire wire);

    void SendText(const std::string& text);

    // The key's newest image, for SendWaitingImages to send.
    void QueueImage(const std::string& context, const std::string& path);

    // Sends waiting images while there is room; true when some still wait.
    bool SendWaitingImages();

    // Whether less than kUnsentLimit is unsent: the host's pings are
    // answered only then.
    bool HasRoom() const;

    // The connection is gone: the waiting images with it.
    void Clear();

private:
    Wire wire;
    ImageOutbox images;
};
