#include "host/ESDConnectionManager.h"
#include "plugin/CursorMoveWorker.h"
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

}  // namespace

void MyStreamDeckPlugin::UpdateKeyImage(const std::string& context) {
    const ActionSettings settings = table.At(context);
    if (!settings.my_icon_color.empty() && !settings.my_icon_name.empty()) {
        SendImageFromFile(ComposeIconPath(settings), context);
    }
    StartCursorMoveWorker();
}

void MyStreamDeckPlugin::SendImageFromFile(const std::string& path, const std::string& context) {
    // Opened now, so that a file that cannot be read is reported as it is
    // asked for; read when the host can take the image.
    if (ImageFile(path).HasContent() && connectionManager != nullptr) connectionManager->SendImageFile(path, context);
}
