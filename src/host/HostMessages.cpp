#include "host/HostMessages.h"

#include "host/BrokenMessage.h"
#include "host/ESDBasePlugin.h"
#include "support/JsonMembers.h"
#include "support/FileLoading.h"

namespace {

void DispatchEnvelope(ESDBasePlugin& plugin, const nlohmann::json& document) {
    const std::string event = GetStringMember(document, "event", "");
    const std::string context = GetStringMember(document, "context", "");
    const std::string action = GetStringMember(document, "action", "");
    const std::string device = GetStringMember(document, "device", "");
    nlohmann::json payload;
    GetObjectMember(document, "payload", payload);

    if (event == "keyDown") {
        plugin.OnKeyDown(action, context, payload, device);
    } else if (event == "keyUp") {
        plugin.OnKeyUp(action, context, payload, device);
    } else if (event == "willAppear") {
        plugin.OnWillAppear(action, context, payload, device);
    } else if (event == "willDisappear") {
        plugin.OnWillDisappear(action, context, payload, device);
    } else if (event == "deviceDidConnect") {
        nlohmann::json deviceInfo;
        GetObjectMember(document, "deviceInfo", deviceInfo);
        plugin.OnDeviceDidConnect(device, deviceInfo);
    } else if (event == "deviceDidDisconnect") {
        plugin.OnDeviceDidDisconnect(device);
    } else if (event == "sendToPlugin") {
        plugin.OnSendToPlugin(action, context, payload, device);
    } else if (event == "propertyInspectorDidAppear") {
        plugin.OnPropertyInspectorDidAppear(action, context, device);
    } else if (event == "propertyInspectorDidDisappear") {
        plugin.OnPropertyInspectorDidDisappear(action, context, device);
    } else if (event == "dialRotate") {
        plugin.OnDialRotate(action, context, payload, device);
    } else if (event == "dialDown") {
        plugin.OnDialDown(action, context, payload, device);
    } else if (event == "dialUp") {
        plugin.OnDialUp(action, context, payload, device);
    } else if (event == "touchTap") {
        plugin.OnTouchTap(action, context, payload, device);
    } else if (event == "didReceiveSettings") {
        plugin.OnDidReceiveSettings(action, context, payload, device);
    } else if (event == "didReceiveGlobalSettings") {
        nlohmann::json settings;
        GetObjectMember(payload, "settings", settings);
        plugin.OnDidReceiveGlobalSettings(settings);
    }
}

}  // namespace

std::string BuildRegistrationMessage(const std::string& registerEvent, const std::string& pluginUuid) {
    return nlohmann::json{{"event", registerEvent}, {"uuid", pluginUuid}}.dump();
}

std::string BuildContextMessage(const std::string& event, const std::string& context, const nlohmann::json& payload) {
    nlohmann::json message{{"context", context}, {"event", event}};
    if (!payload.is_null()) message["payload"] = payload;
    return message.dump();
}

std::string BuildShowAlertMessage(const std::string& context) { return BuildContextMessage("showAlert", context); }

bool AppendSetImageMessage(std::string& out, const std::string& context, const std::string& imagePath) {
    ImageFile image(imagePath);
    if (!image.HasContent()) return false;
    // An image is a megabyte of Base64, which needs no escaping: it is encoded
    // straight into the message, into room reserved once.
    static const std::string dataUrlPrefix = "data:image/png;base64,";
    static const std::string tail = "\",\"target\":0}}";
    const std::string head =
        "{\"context\":" + nlohmann::json(context).dump() + ",\"event\":\"setImage\",\"payload\":{\"image\":\"";
    const std::size_t start = out.size();
    out.reserve(start + head.size() + dataUrlPrefix.size() + image.Base64Length() + tail.size());
    out += head;
    out += dataUrlPrefix;
    if (!image.AppendBase64(out)) {
        out.resize(start);
        return false;
    }
    out += tail;
    return true;
}

void DispatchHostMessage(ESDBasePlugin& plugin, const std::string& text) {
    // The host is never answered; a message that cannot be handled is dropped.
    nlohmann::json document;
    try {
        document = ParseJsonDocument(text);
    } catch (...) {
        // Except an answer with the global settings: it says the host holds
        // settings the plugin could not read, which a save must not overwrite.
        try {
            if (EventOfBrokenMessage(text) == "didReceiveGlobalSettings") plugin.OnDidReceiveGlobalSettings(nullptr);
        } catch (...) {
        }
        return;
    }
    try {
        DispatchEnvelope(plugin, document);
    } catch (...) {
    }
}
