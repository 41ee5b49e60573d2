#include "plugin/MyStreamDeckPlugin.h"

#include "host/ESDConnectionManager.h"

#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/KeyPress.h"
#include "plugin/key/KeyPressCommands.h"
#include "plugin/StopSignal.h"

#include <mutex>

void MyStreamDeckPlugin::OnKeyDown(const std::string&, const std::string& context, const nlohmann::json&,
                                   const std::string& device) {
    // The table is the only source of a press's settings, as they stand when
    // the press arrives.
    if (!table.Find(context)) return;
    const ActionSettings& settings = table.At(context);
    const bool posted =
        keyCommands.Post(KeyCommandThread::Kind::Press, [this, settings, context, device](const StopSignal& stop) {
            LoadActiveMouseCommand(settings);
            SetKeyHeld(true);
            PerformKeyPress(KeyPress{context, device, GetActiveMouseCommand(), stop, *this, toggles});
        });
    if (posted && IsToggleCommand(settings.my_mouse_event)) {
        toggleKeys.insert(context);
        toggleDevices.insert(device);
    }
}

void MyStreamDeckPlugin::EndHold() {
    keyCommands.Post(KeyCommandThread::Kind::Release, [](const StopSignal&) { SetKeyHeld(false); });
}

void MyStreamDeckPlugin::WaitForKeyCommands() { keyCommands.WaitUntilIdle(); }

void MyStreamDeckPlugin::StopKeyCommands() { keyCommands.Stop(); }

void MyStreamDeckPlugin::OnKeyUp(const std::string&, const std::string&, const nlohmann::json&, const std::string&) {
    // The release of any key ends the hold of whichever key was pressed last.
    EndHold();
}

void MyStreamDeckPlugin::OnWillAppear(const std::string& action, const std::string& context,
                                      const nlohmann::json& payload, const std::string& device) {
    if (action == DialAction::kActionUuid) return dials.Appear(context, payload, device);
    {
        std::lock_guard<std::mutex> guard(table.mutex);
        table.InsertIfAbsent(context, ParseActionSettings(payload));
    }
    UpdateKeyImage(context);
}

void MyStreamDeckPlugin::OnWillDisappear(const std::string& action, const std::string& context, const nlohmann::json&,
                                         const std::string&) {
    if (action == DialAction::kActionUuid) return dials.Disappear(context);
    {
        std::lock_guard<std::mutex> guard(table.mutex);
        table.Erase(context);
    }
    // Hosts drop the release of a key that is taken away while held; without
    // this a held move would go on for ever.
    EndHold();
    pages.KeyGone(context);
    if (toggleKeys.erase(context) != 0) {
        keyCommands.Post(KeyCommandThread::Kind::Cleanup,
                         [this, context](const StopSignal&) { toggles.ReleaseKey(context); });
    }
}

void MyStreamDeckPlugin::OnDeviceDidConnect(const std::string&, const nlohmann::json&) {}

void MyStreamDeckPlugin::OnDeviceDidDisconnect(const std::string& device) {
    dials.DeviceGone(device);
    // A device unplugged while a key is held never sends that key's release.
    EndHold();
    if (toggleDevices.erase(device) != 0) {
        keyCommands.Post(KeyCommandThread::Kind::Cleanup,
                         [this, device](const StopSignal&) { toggles.ReleaseDevice(device); });
    }
}

void MyStreamDeckPlugin::OnSendToPlugin(const std::string& action, const std::string& context,
                                        const nlohmann::json& payload, const std::string&) {
    if (action == DialAction::kActionUuid) return dials.Update(context, payload);
    if (connectionManager == nullptr) return;
    std::lock_guard<std::mutex> guard(table.mutex);
    if (!table.Find(context)) return;
    HandlePickRequest(context, payload);
    ActionSettings updated = table.At(context);
    // Every member is read before anything is sent or stored, so a bad member
    // changes nothing.
    if (const auto imagePath = ApplySettingsUpdate(payload, updated)) SendImageFromFile(*imagePath, context);
    table.At(context) = updated;
}

void MyStreamDeckPlugin::HandlePickRequest(const std::string& context, const nlohmann::json& payload) {
    const auto pick = payload.find("pick");
    if (pick == payload.end() || !pick->is_string()) return;
    if (*pick == "position") pages.StartPick(context);
    if (*pick == "cancel") pages.CancelPick(context);
}

void MyStreamDeckPlugin::OnPropertyInspectorDidAppear(const std::string&, const std::string& context,
                                                      const std::string&) {
    if (connectionManager == nullptr || !table.Find(context)) return;
    pages.PageAppeared(context);
}

void MyStreamDeckPlugin::OnPropertyInspectorDidDisappear(const std::string&, const std::string& context,
                                                         const std::string&) {
    pages.PageDisappeared(context);
}

SettingsPageFeed::Channel MyStreamDeckPlugin::PageChannel() {
    // The page feed runs on the connection's thread, where the connection
    // manager is set before the first host message.
    return {[this](const std::string& message) { SendToHost(message); },
            [this](int milliseconds, std::function<void()> work) {
                connectionManager->RunAfter(milliseconds, std::move(work));
            },
            [this](const std::string& context) -> std::optional<std::string> {
                if (!table.Find(context)) return std::nullopt;
                return table.At(context).my_monitor;
            }};
}

void MyStreamDeckPlugin::OnDialRotate(const std::string&, const std::string& context, const nlohmann::json& payload,
                                      const std::string&) {
    dials.Rotate(context, payload);
}

void MyStreamDeckPlugin::OnDialDown(const std::string&, const std::string& context, const nlohmann::json&,
                                    const std::string&) {
    dials.Down(context);
}

void MyStreamDeckPlugin::OnDialUp(const std::string&, const std::string& context, const nlohmann::json&,
                                  const std::string&) {
    dials.Up(context);
}

void MyStreamDeckPlugin::OnTouchTap(const std::string&, const std::string& context, const nlohmann::json& payload,
                                    const std::string&) {
    dials.Tap(context, payload);
}
