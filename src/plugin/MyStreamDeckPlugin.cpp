#include "plugin/MyStreamDeckPlugin.h"

#include "host/ESDConnectionManager.h"
#include "support/JsonMembers.h"

#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/runs/KeyRuns.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "plugin/key/commands/StepParser.h"
#include "plugin/StopSignal.h"

#include <mutex>

void MyStreamDeckPlugin::OnKeyDown(const std::string&, const std::string& context, const nlohmann::json&,
                                   const std::string& device) {
    // The table is the only source of a press's settings, as they stand when
    // the press arrives.
    if (!table.Find(context)) return;
    const ActionSettings& settings = table.At(context);
    ongoing.runs.KeyWentDown(context, device);
    // What the key's last press keeps on ends at once, whatever is queued.
    if (ongoing.EndedByPress(context)) return UpdateKeyImage(context);
    keyCommands.Post(context, device, [this, settings, context, device](const StopSignal& stop) {
        LoadActiveMouseCommand(settings, context);
        ongoing.KeyPressed(context);
        PerformKeyPress(KeyPress{context, device, GetActiveMouseCommand(), stop, *this, toggles, ongoing.runs, positions});
    });
}

void MyStreamDeckPlugin::WaitForKeyCommands() { keyCommands.WaitUntilIdle(); }

void MyStreamDeckPlugin::StopKeyCommands() {
    keyCommands.Stop();
    ongoing.EndAll();
}

void MyStreamDeckPlugin::OnKeyUp(const std::string&, const std::string& context, const nlohmann::json&,
                                 const std::string&) {
    // At once, whatever is queued: a held command ends with its key's release.
    ongoing.runs.KeyWentUp(context);
}

void MyStreamDeckPlugin::OnWillAppear(const std::string& action, const std::string& context,
                                      const nlohmann::json& payload, const std::string& device) {
    if (action == DialAction::kActionUuid) return dials.Appear(context, payload, device);
    {
        std::lock_guard<std::mutex> guard(table.mutex);
        table.InsertIfAbsent(context, ParseActionSettings(payload));
    }
    UpdateKeyImage(context);
    SendStepCheck(context);
}

void MyStreamDeckPlugin::OnWillDisappear(const std::string& action, const std::string& context, const nlohmann::json&,
                                         const std::string&) {
    if (action == DialAction::kActionUuid) return dials.Disappear(context);
    {
        std::lock_guard<std::mutex> guard(table.mutex);
        table.Erase(context);
    }
    // Hosts drop the release of a key that is taken away while held; without
    // this a held move would go on for ever. Its queued presses go too, and
    // only then its lock and autoclick, so that no press of it can start
    // them again.
    ongoing.runs.KeyWentUp(context);
    keyCommands.EndKey(context);
    ongoing.KeyGone(context);
    pages.KeyGone(context);
}

void MyStreamDeckPlugin::OnDeviceDidConnect(const std::string&, const nlohmann::json&) {}

void MyStreamDeckPlugin::OnDeviceDidDisconnect(const std::string& device) {
    dials.DeviceGone(device);
    // A device unplugged while a key is held never sends that key's release.
    ongoing.runs.DeviceKeysWentUp(device);
    keyCommands.EndDevice(device);
    ongoing.DeviceGone(device);
}

void MyStreamDeckPlugin::OnSendToPlugin(const std::string& action, const std::string& context,
                                        const nlohmann::json& payload, const std::string&) {
    if (action == DialAction::kActionUuid) return dials.Update(context, payload);
    if (connectionManager == nullptr || !table.Find(context)) return;
    HandlePickRequest(context, payload);
    UpdateKeySettings(context, payload);
}

void MyStreamDeckPlugin::OnDidReceiveSettings(const std::string& action, const std::string& context,
                                              const nlohmann::json& payload, const std::string&) {
    if (action == DialAction::kActionUuid || connectionManager == nullptr || !table.Find(context)) return;
    nlohmann::json settings;
    if (GetObjectMember(payload, "settings", settings)) UpdateKeySettings(context, settings);
}

void MyStreamDeckPlugin::UpdateKeySettings(const std::string& context, const nlohmann::json& update) {
    {
        std::lock_guard<std::mutex> guard(table.mutex);
        ActionSettings updated = table.At(context);
        // Every member is read before anything is sent or stored, so a bad member
        // changes nothing.
        const auto imagePath = ApplySettingsUpdate(update, updated);
        // A lock, an autoclick or a jiggler belongs to the command that started
        // it: another command ends it first, and the key shows so even when the
        // update names no image.
        const bool ended =
            updated.my_mouse_event != table.At(context).my_mouse_event && ongoing.CommandChanged(context);
        table.At(context) = updated;
        UpdateRun(context);
        if (ended) {
            UpdateKeyImage(context);
        } else if (imagePath) {
            ShowImageOrHeldVariant(*imagePath, context);
        }
    }
    SendStepCheck(context);
}

void MyStreamDeckPlugin::UpdateRun(const std::string& context) {
    try {
        ongoing.runs.Update(context, ConvertActiveMouseCommand(table.At(context), context));
    } catch (const std::exception&) {
        // Settings that cannot run leave the run with those it had.
    }
}

void MyStreamDeckPlugin::SendStepCheck(const std::string& context) {
    const ActionSettings& settings = table.At(context);
    if (settings.my_mouse_event != "MOUSE_SEQUENCE") return;
    pages.SendToPage(context, {{"stepsCheck", DescribeStepCheck(settings.steps ? *settings.steps : ParsedSteps{})}});
}

void MyStreamDeckPlugin::OnDidReceiveGlobalSettings(const nlohmann::json& settings) { positions.Receive(settings); }

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
    SendStepCheck(context);
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
