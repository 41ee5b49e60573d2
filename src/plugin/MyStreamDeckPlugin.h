#pragma once

#include "host/ESDBasePlugin.h"
#include "plugin/ContextTable.h"
#include "plugin/HeldButtons.h"
#include "plugin/SavedPositions.h"
#include "plugin/dial/DialAction.h"
#include "plugin/key/runs/KeyCommandThread.h"
#include "plugin/key/runs/KeyFeedback.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/page/SettingsPageFeed.h"
#include "plugin/key/runs/ToggleLocks.h"

#include <string>

// The mouse action: keeps each key's settings, performs a key's mouse command
// when it is pressed and shows its icon when it appears. Presses take
// effect on the key-command thread, in the order they arrived; what goes on
// after a press (a held command, an autoclick, a sequence, the jiggler) runs
// beside them, owned by its key (KeyRuns). A key's next press that ends what
// its last one keeps on, releases,
// disappearances, unplugged devices and everything else at once, ending
// what they concern without waiting for queued presses. Events of the
// dial action go to the dials instead, told apart by the action's UUID.
class MyStreamDeckPlugin : public ESDBasePlugin, public KeyFeedback {
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
    void OnPropertyInspectorDidAppear(const std::string& action, const std::string& context,
                                      const std::string& device) override;
    void OnPropertyInspectorDidDisappear(const std::string& action, const std::string& context,
                                         const std::string& device) override;
    void OnDialRotate(const std::string& action, const std::string& context, const nlohmann::json& payload,
                      const std::string& device) override;
    void OnDialDown(const std::string& action, const std::string& context, const nlohmann::json& payload,
                    const std::string& device) override;
    void OnDialUp(const std::string& action, const std::string& context, const nlohmann::json& payload,
                  const std::string& device) override;
    void OnTouchTap(const std::string& action, const std::string& context, const nlohmann::json& payload,
                    const std::string& device) override;
    void OnDidReceiveSettings(const std::string& action, const std::string& context, const nlohmann::json& payload,
                              const std::string& device) override;
    void OnDidReceiveGlobalSettings(const nlohmann::json& settings) override;

    // Sends the icon that the key's settings name, its held variant while
    // the key keeps something on (OngoingCommands::ShowsHeld), and has the
    // system get its input ready (PrepareInputOnce). The key must be in the
    // table.
    void UpdateKeyImage(const std::string& context);

    // Returns once the key events received so far have taken effect.
    void WaitForKeyCommands();

    // Cuts a running command short at its next wait, ignores later key
    // events and stops the autoclicks and the jiggler; for the end of the
    // connection.
    void StopKeyCommands();

    // From any thread: done on the connection's thread, for a key still shown.
    // A key command may call them until StopKeyCommands returns, so the
    // connection manager has to be there until then. The image shown is the
    // one the key's ongoing commands call for when it goes out, whatever
    // `image` says, as one may have ended on the way.
    void ShowKeyImage(const std::string& context, Image image) override;
    void ShowAlert(const std::string& context) override;

private:
    // A small message, on the connection's thread; nowhere without a connection.
    void SendToHost(const std::string& text);

    // setGlobalSettings, from any thread.
    void StoreGlobalSettings(const nlohmann::json& settings);

    // Sends the file's bytes as the key's image; a file that cannot be read sends nothing.
    void SendImageFromFile(const std::string& path, const std::string& context);

    // The image a settings page named for the key, or the held variant of
    // the key's icon while it shows held.
    void ShowImageOrHeldVariant(const std::string& path, const std::string& context);

    // The settings page's "pick" request: "position" or "cancel".
    void HandlePickRequest(const std::string& context, const nlohmann::json& payload);

    // Stores the members that `update` carries into the key's settings, as
    // a settings page sends them; a command other than the key's ends its lock.
    void UpdateKeySettings(const std::string& context, const nlohmann::json& update);

    // A run of the key's takes its settings as they stand now.
    void UpdateRun(const std::string& context);

    // A sequence key's settings page hears which of its steps do not parse.
    void SendStepCheck(const std::string& context);

    SettingsPageFeed::Channel PageChannel();

    ContextTable table;
    ToggleLocks toggles{HeldInput()};
    SettingsPageFeed pages{PageChannel()};
    SavedPositions positions{[this](const nlohmann::json& settings) { StoreGlobalSettings(settings); }};
    // The dials' events, told apart from the keys' by their action.
    DialAction dials{[this](const std::string& text) { SendToHost(text); }};
    OngoingCommands ongoing{toggles};  // its runs end before what they use goes
    KeyCommandThread keyCommands;      // last: its work ends before the rest goes
};
