#pragma once

#include <memory>
#include <string>

class ESDBasePlugin;

// The plugin's one connection to the host: a WebSocket client on
// ws://127.0.0.1:<port>. It registers on open, hands each text message to the
// plugin and sends the key images. Only its own source file sees the
// WebSocket library.
class ESDConnectionManager {
public:
    ESDConnectionManager(int port, const std::string& pluginUuid, const std::string& registerEvent,
                         ESDBasePlugin* plugin);
    ~ESDConnectionManager();

    // Connects and runs the event loop on the calling thread until the
    // connection has ended (or could not be made). Every plugin operation runs
    // inside this call.
    void Run();

    // Sends a "setImage" message for `context`; lost when no connection is open.
    void SendSetImage(const std::string& image, const std::string& context);

private:
    struct Endpoint;

    int port;
    std::string pluginUuid;
    std::string registerEvent;
    std::unique_ptr<Endpoint> endpoint;  // the client and the connection handle
    ESDBasePlugin* plugin;
};
