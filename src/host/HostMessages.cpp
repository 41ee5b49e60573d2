#include "host/HostMessages.h"

#include "host/ESDBasePlugin.h"
#include "host/JsonMembers.h"

#include <algorithm>

namespace {

const std::string kPngDataUrlPrefix = "data:image/png;base64,";

bool StartsWithPngPrefix(const std::string& image) {
    return image.compare(0, kPngDataUrlPrefix.size(), kPngDataUrlPrefix) == 0;
}

// True when the JSON library would write the text between its quotes as it
// stands: no quote, backslash, control character or byte outside ASCII.
bool NeedsNoEscaping(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte >= 0x80 || byte == '"' || byte == '\\';
    });
}

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
    }
}

}  // namespace

std::string BuildRegistrationMessage(const std::string& registerEvent, const std::string& pluginUuid) {
    return nlohmann::json{{"event", registerEvent}, {"uuid", pluginUuid}}.dump();
}

void AppendSetImageMessage(std::string& out, const std::string& image, const std::string& context) {
    const bool addPrefix = !image.empty() && !StartsWithPngPrefix(image);
    if (!NeedsNoEscaping(image)) {
        // Rare: only texts the plugin did not encode itself get here.
        nlohmann::json message{{"context", context},
                               {"event", "setImage"},
                               {"payload", {{"image", addPrefix ? kPngDataUrlPrefix + image : image}, {"target", 0}}}};
        out += message.dump();
        return;
    }
    // An image is a megabyte of Base64 that needs no escaping: write it once,
    // straight into the message, instead of through the library's serializer.
    const std::string head = "{\"context\":" + nlohmann::json(context).dump() + ",\"event\":\"setImage\",\"payload\":{\"image\":\"";
    static const std::string tail = "\",\"target\":0}}";
    out.reserve(out.size() + head.size() + (addPrefix ? kPngDataUrlPrefix.size() : 0) + image.size() + tail.size());
    out += head;
    if (addPrefix) out += kPngDataUrlPrefix;
    out += image;
    out += tail;
}

void DispatchHostMessage(ESDBasePlugin& plugin, const std::string& text) {
    try {
        DispatchEnvelope(plugin, ParseJsonDocument(text));
    } catch (...) {
        // The host is never answered; a message that cannot be handled is dropped.
    }
}
