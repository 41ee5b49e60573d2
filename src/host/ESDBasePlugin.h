#pragma once

#include <nlohmann/json.hpp>

#include <string>

class ESDConnectionManager;

// What the connection knows of the plugin: one operation per host event.
// Calls arrive on the connection's thread, one at a time, in the host's order;
// an operation may raise, which drops that one message. References are valid
// only for the duration of the call.
class ESDBasePlugin {
public:
    virtual ~ESDBasePlugin() {}

    virtual void OnKeyDown(const std::string& action, const std::string& context, const nlohmann::json& payload,
                           const std::string& device) = 0;
    virtual void OnKeyUp(const std::string& action, const std::string& context, const nlohmann::json& payload,
                         const std::string& device) = 0;
    virtual void OnWillAppear(const std::string& action, const std::string& context, const nlohmann::json& payload,
                              const std::string& device) = 0;
    virtual void OnWillDisappear(const std::string& action, const std::string& context,
                                 const nlohmann::json& payload, const std::string& device) = 0;
    virtual void OnDeviceDidConnect(const std::string& device, const nlohmann::json& deviceInfo) = 0;
    virtual void OnDeviceDidDisconnect(const std::string& device) = 0;
    virtual void OnSendToPlugin(const std::string& action, const std::string& context, const nlohmann::json& payload,
                                const std::string& device) = 0;

    // The settings page of the action at `context` opened and closed.
    virtual void OnPropertyInspectorDidAppear(const std::string& /*action*/, const std::string& /*context*/,
                                              const std::string& /*device*/) {}
    virtual void OnPropertyInspectorDidDisappear(const std::string& /*action*/, const std::string& /*context*/,
                                                 const std::string& /*device*/) {}

    // A dial turned, pressed and let go, and its touch strip tapped.
    virtual void OnDialRotate(const std::string& /*action*/, const std::string& /*context*/,
                              const nlohmann::json& /*payload*/, const std::string& /*device*/) {}
    virtual void OnDialDown(const std::string& /*action*/, const std::string& /*context*/,
                            const nlohmann::json& /*payload*/, const std::string& /*device*/) {}
    virtual void OnDialUp(const std::string& /*action*/, const std::string& /*context*/,
                          const nlohmann::json& /*payload*/, const std::string& /*device*/) {}
    virtual void OnTouchTap(const std::string& /*action*/, const std::string& /*context*/,
                            const nlohmann::json& /*payload*/, const std::string& /*device*/) {}

    // The settings the host stores for a key, after its settings page set them.
    virtual void OnDidReceiveSettings(const std::string& /*action*/, const std::string& /*context*/,
                                      const nlohmann::json& /*payload*/, const std::string& /*device*/) {}

    // The plugin's global settings ("settings" of the payload; null when it
    // is not an object, or the message could not be read at all), in answer
    // to getGlobalSettings.
    virtual void OnDidReceiveGlobalSettings(const nlohmann::json& /*settings*/) {}

    void SetConnectionManager(ESDConnectionManager* manager) { connectionManager = manager; }

protected:
    ESDConnectionManager* connectionManager = nullptr;
};
