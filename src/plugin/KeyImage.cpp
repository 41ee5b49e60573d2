#include "host/ESDConnectionManager.h"
#include "plugin/CursorMoveWorker.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "support/FileLoading.h"

namespace {

// "icons\<name>_<colour id><colour>.png", relative to the working directory,
// which the host sets to the plugin folder. Each value counts up to its first NUL.
std::string ComposeIconPath(const ActionSettings& settings) {
    auto untilNul = [](const std::string& text) { return text.substr(0, text.find('\0')); };
    return "icons\\" + untilNul(settings.my_icon_name) + "_" + untilNul(settings.my_icon_color_id) +
           untilNul(settings.my_icon_color) + ".png";
}

}  // namespace

void MyStreamDeckPlugin::UpdateKeyImage(const std::string& context) {
    const ActionSettings settings = table.At(context);
    if (!settings.my_icon_color.empty() && !settings.my_icon_name.empty()) {
        SendImageFromFile(ComposeIconPath(settings), context);
    }
    StartCursorMoveWorker();
}

void MyStreamDeckPlugin::SendImageFromFile(const std::string& path, const std::string& context) {
    const std::string image = LoadFileAsBase64(path);
    if (!image.empty() && connectionManager != nullptr) connectionManager->SendSetImage(image, context);
}
