#include "plugin/MyStreamDeckPlugin.h"

#include "plugin/ActiveMouseCommand.h"
#include "plugin/MouseCommandExecutor.h"
#include "plugin/StopSignal.h"

#include <mutex>

void MyStreamDeckPlugin::OnKeyDown(const std::string&, const std::string& context, const nlohmann::json&,
                                   const std::string&) {
    // The table is the only source of a press's settings, as they stand when
    // the press arrives.
    if (!table.Find(context)) return;
    keyCommands.Post(KeyCommandThread::Kind::Press, [settings = table.At(context)](const StopSignal& stop) {
        LoadActiveMouseCommand(settings);
        SetKeyHeld(true);
        ExecuteMouseCommand(stop);
    });
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

void MyStreamDeckPlugin::OnWillAppear(const std::string&, const std::string& context, const nlohmann::json& payload,
                                      const std::string&) {
    {
        std::lock_guard<std::mutex> guard(table.mutex);
        table.InsertIfAbsent(context, ParseActionSettings(payload));
    }
    UpdateKeyImage(context);
}

void MyStreamDeckPlugin::OnWillDisappear(const std::string&, const std::string& context, const nlohmann::json&,
                                         const std::string&) {
    {
        std::lock_guard<std::mutex> guard(table.mutex);
        table.Erase(context);
    }
    // Hosts drop the release of a key that is taken away while held; without
    // this a held move would go on for ever.
    EndHold();
}

void MyStreamDeckPlugin::OnDeviceDidConnect(const std::string&, const nlohmann::json&) {}

void MyStreamDeckPlugin::OnDeviceDidDisconnect(const std::string&) {
    // A device unplugged while a key is held never sends that key's release.
    EndHold();
}

void MyStreamDeckPlugin::OnSendToPlugin(const std::string&, const std::string& context, const nlohmann::json& payload,
                                        const std::string&) {
    if (connectionManager == nullptr) return;
    std::lock_guard<std::mutex> guard(table.mutex);
    if (!table.Find(context)) return;
    ActionSettings updated = table.At(context);
    // Every member is read before anything is sent or stored, so a bad member
    // changes nothing.
    if (const auto imagePath = ApplySettingsUpdate(payload, updated)) SendImageFromFile(*imagePath, context);
    table.At(context) = updated;
}
