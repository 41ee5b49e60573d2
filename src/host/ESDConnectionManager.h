#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>

class ESDBasePlugin;

// The plugin's one connection to the host: a WebSocket client on
// ws://127.0.0.1:<port>. It registers on open, hands each text message to the
// plugin and sends the key images. Once registered, it asks for the plugin's
// global settings. Only its own source file sees the
// WebSocket library. For a host that stops reading it holds a few megabytes
// of images, one waiting image path per key, and every other message
// (OutgoingQueue).
class ESDConnectionManager {
public:
    ESDConnectionManager(int port, const std::string& pluginUuid, const std::string& registerEvent,
                         ESDBasePlugin* plugin);
    ~ESDConnectionManager();

    // Connects and runs the event loop on the calling thread until the
    // connection has ended (or could not be made). Every plugin operation runs
    // inside this call.
    void Run();

    // Sends a "setImage" message for `context` with the bytes of the image
    // file at `path`, read when the message goes out: at once while the host
    // keeps reading, otherwise once it has taken what was sent before. Until
    // then only the path is kept, and a newer image for the same context
    // replaces it. Lost when no connection is open. Call it on the
    // connection's thread, from a plugin operation.
    void SendImageFile(const std::string& path, const std::string& context);

    // Sends a "showAlert" message for `context`, at once however much the
    // host has not taken yet; lost only when no connection is open. Call it
    // on the connection's thread.
    void SendShowAlert(const std::string& context);

    // Sends a small text message, with the same rule as SendShowAlert.
    // (Not SendMessage: windows.h makes that name a macro.)
    void SendText(const std::string& text);

    // Sends "setGlobalSettings" with the whole object, the plugin's UUID as
    // its context; with the same rule as SendShowAlert.
    void SendGlobalSettings(const nlohmann::json& settings);

    // Runs `work` on the connection's thread once `milliseconds` have passed,
    // unless the connection ends first; nothing is scheduled when no
    // connection is open. Call it on the connection's thread.
    void RunAfter(int milliseconds, std::function<void()> work);

    // Runs `work` on the connection's thread, after what is already waiting
    // there; from any thread. Dropped when the connection's loop is not
    // running (before Run, after it has returned).
    void RunOnConnectionThread(std::function<void()> work);

private:
    struct Endpoint;

    int port;
    std::string pluginUuid;
    std::string registerEvent;
    std::unique_ptr<Endpoint> endpoint;  // the client, the connection handle and the waiting images
    ESDBasePlugin* plugin;
};
