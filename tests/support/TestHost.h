#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// A WebSocket server on 127.0.0.1 that plays the Stream Deck host for one
// plugin connection: it records what the plugin sends and sends what a test
// asks for. Its event loop runs on a thread of its own; every wait has a deadline.
class TestHost {
public:
    // refuseHandshake: answer the opening handshake with an error, as a host
    // that does not accept the plugin would.
    explicit TestHost(bool refuseHandshake = false);
    ~TestHost();

    int Port() const { return port; }

    bool WaitForConnection(std::chrono::milliseconds deadline);
    // The next text message from the plugin, or nothing when the deadline passes first.
    std::optional<std::string> NextMessage(std::chrono::milliseconds deadline);
    // True when the plugin's side of the connection has closed.
    bool WaitForDisconnection(std::chrono::milliseconds deadline);

    void Send(const std::string& text);
    void SendBinary(const std::string& bytes);
    // Closes the connection normally, as the host does when it quits.
    void Close();

private:
    struct Server;

    std::unique_ptr<Server> server;
    int port = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> messages;
    bool connected = false;
    bool disconnected = false;
    std::thread loop;
};
