#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

// A WebSocket server for one plugin connection that does everything on the
// caller's thread with blocking calls: what it measures is the plugin, not
// hand-offs between threads of its own. Raises std::runtime_error on any
// failure, or when a read or write makes no progress for 5 s.
class BlockingHost {
public:
    BlockingHost();
    ~BlockingHost();

    int Port() const { return port; }
    // Accepts the plugin's connection and answers its opening handshake.
    void Accept();
    // The payload of the next text frame from the plugin. Pongs on the way
    // are counted and skipped.
    std::string Receive();
    // The next frame: the payload of a text frame, nothing for a pong (counted).
    std::optional<std::string> ReceiveFrame();
    // True when something from the plugin arrives within `wait`.
    bool Readable(std::chrono::milliseconds wait);

    void Send(const std::string& text);
    void SendBinary(const std::string& data);
    // A ping carries at most 125 bytes.
    void Ping(const std::string& data);

    std::size_t PongsReceived() const { return pongs; }
    // Bytes sent that the plugin's side has not acknowledged yet.
    std::size_t Unacknowledged() const;

private:
    void SendFrame(unsigned char opcode, const std::string& payload);
    // Calls `step`, a send or receive that does not wait, with the bytes done
    // so far until all `size` are done; waits for `events` when it would block.
    void Transfer(std::size_t size, short events, const char* failure,
                  const std::function<ssize_t(std::size_t done)>& step);
    void SendAll(const char* data, std::size_t size);
    void ReadExactly(char* data, std::size_t size);
    void WaitFor(int descriptor, short events);

    int listener = -1;
    int connection = -1;
    int port = 0;
    std::size_t pongs = 0;
};
