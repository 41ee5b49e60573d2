#pragma once

#include "host/ESDBasePlugin.h"
#include "plugin/ContextTable.h"

#include <string>

// The mouse action: keeps each key's settings, performs a key's mouse command
// when it is pressed and shows its icon when it appears.
class MyStreamDeckPlugin : public ESDBasePlugin {
public:
    void OnKeyDown(const std::string& action, const std::string& context, const nlohmann::json& payload,
                   const std::string& device) override;
    void OnKeyUp(const std::string& action, const std::string& context, const nlohmann::json& payload,
                 const std::string& device) override;
    void OnWillAppear(const std::string& action, const std::string& context, const nlohmann::json& payload,
                      const std::string& device) override;
    void OnWillDisappear(const std::string& action, const std::string& context, const nlohmann::json& payload,
                         const std::string& device) override;
    void OnDeviceDidConnect(const std::string& device, const nlohmann::json& deviceInfo) override;
    void OnDeviceDidDisconnect(const std::string& device) override;
    void OnSendToPlugin(const std::string& action, const std::string& context, const nlohmann::json& payload,
                        const std::string& device) override;

    // Sends the icon that the key's settings name, then makes sure the
    // cursor-move worker runs. The key must be in the table.
    void UpdateKeyImage(const std::string& context);

private:
    // Sends the file's bytes as the key's image; a file that cannot be read sends nothing.
    void SendImageFromFile(const std::string& path, const std::string& context);

    ContextTable table;
};
