#pragma once

#include <sys/types.h>

#include <string>

// A WebSocket server for one plugin connection that does everything on the
// caller's thread with blocking calls: what it measures is the plugin, not
// hand-offs between threads of its own. Raises std::runtime_error on any
// failure or after a 5 s deadline.
class BlockingHost {
public:
    BlockingHost();
    ~BlockingHost();

    int Port() const { return port; }
    // Accepts the plugin's connection and answers its opening handshake.
    void Accept();
    // The payload of the next text frame from the plugin.
    std::string Receive();
    void Send(const std::string& text);

private:
    void ReadExactly(char* data, std::size_t size);
    void WaitReadable(int descriptor);

    int listener = -1;
    int connection = -1;
    int port = 0;
};
