#include "host/ESDConnectionManager.h"
#include "plugin/InputReadiness.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "support/FileLoading.h"

namespace {

// "icons\<name>_<colour id><colour>.png", relative to the working directory,
// which the host sets to the plugin folder. A value holding a NUL makes a
// path that no file has: it is refused when opened, not cut short into the
// name of another file.
std::string ComposeIconPath(const ActionSettings& settings) {
    return "icons\\" + settings.my_icon_name + "_" + settings.my_icon_color_id + settings.my_icon_color + ".png";
}

// The icon's variant while the key keeps something on (a drag lock, an
// autoclick, the jiggler):
// "icons\<name>_held_<colour id><colour>.png".
std::string ComposeHeldIconPath(const ActionSettings& settings) {
    return "icons\\" + settings.my_icon_name + "_held_" + settings.my_icon_color_id + settings.my_icon_color +
           ".png";
}

bool NamesAnIcon(const ActionSettings& settings) {
    return !settings.my_icon_color.empty() && !settings.my_icon_name.empty();
}

}  // namespace

void MyStreamDeckPlugin::UpdateKeyImage(const std::string& context) {
    const ActionSettings settings = table.At(context);
    if (NamesAnIcon(settings)) {
        SendImageFromFile(ongoing.ShowsHeld(context) ? ComposeHeldIconPath(settings) : ComposeIconPath(settings),
                          context);
    }
    PrepareInputOnce();
}

void MyStreamDeckPlugin::ShowImageOrHeldVariant(const std::string& path, const std::string& context) {
    const ActionSettings& settings = table.At(context);
    SendImageFromFile(ongoing.ShowsHeld(context) && NamesAnIcon(settings) ? ComposeHeldIconPath(settings) : path,
                      context);
}

void MyStreamDeckPlugin::ShowKeyImage(const std::string& context, Image) {
    if (connectionManager == nullptr) return;
    // The table belongs to the connection's thread, and the settings and the
    // lock as they stand when the image goes out are the ones to show.
    connectionManager->RunOnConnectionThread([this, context] {
        if (table.Find(context)) UpdateKeyImage(context);
    });
}

void MyStreamDeckPlugin::ShowAlert(const std::string& context) {
    if (connectionManager == nullptr) return;
    connectionManager->RunOnConnectionThread([this, context] { connectionManager->SendShowAlert(context); });
}

void MyStreamDeckPlugin::SendImageFromFile(const std::string& path, const std::string& context) {
    // Opened now, so that a file that cannot be read is reported as it is
    // asked for; read when the host can take the image.
    if (ImageFile(path).HasContent() && connectionManager != nullptr) connectionManager->SendImageFile(path, context);
}

void MyStreamDeckPlugin::SendToHost(const std::string& text) {
    if (connectionManager != nullptr) connectionManager->SendText(text);
}

void MyStreamDeckPlugin::StoreGlobalSettings(const nlohmann::json& settings) {
    if (connectionManager == nullptr) return;
    connectionManager->RunOnConnectionThread([this, settings] { connectionManager->SendGlobalSettings(settings); });
}
