#pragma once

#include <nlohmann/json.hpp>

#include <string>

class ESDBasePlugin;

// The JSON texts exchanged with the host, apart from the socket that carries them.

// {"event":<registerEvent>,"uuid":<pluginUuid>}
std::string BuildRegistrationMessage(const std::string& registerEvent, const std::string& pluginUuid);

// {"context":<context>,"event":<event>,"payload":<payload>}, without "payload"
// when it is null: the shape of every command that names a key or dial.
// Raises the library's type error for a text that is not valid UTF-8.
std::string BuildContextMessage(const std::string& event, const std::string& context,
                                const nlohmann::json& payload = nullptr);

// {"context":<context>,"event":"showAlert"}: the host's warning sign on the key.
// Raises the library's type error for a context that is not valid UTF-8.
std::string BuildShowAlertMessage(const std::string& context);

// Appends the "setImage" message for `context` to `out`, byte for byte what
// the JSON library writes for {"context","event":"setImage","payload":{"image",
// "target":0}}, where "image" is the PNG data URL of the bytes of the image
// file at `imagePath`, read now. False, with `out` unchanged, when the file
// gives no bytes (failures to open it are reported on the console).
bool AppendSetImageMessage(std::string& out, const std::string& context, const std::string& imagePath);

// Decodes one text message and calls the matching operation of the plugin.
// Never raises: a message that cannot be handled, or whose operation raises,
// is dropped. A didReceiveGlobalSettings that is no JSON document but names
// its event before its fault (EventOfBrokenMessage) reaches the plugin with
// null settings, as one whose settings are not an object does.
void DispatchHostMessage(ESDBasePlugin& plugin, const std::string& text);
