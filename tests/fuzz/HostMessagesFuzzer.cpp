// Host messages, one per line of the input, dispatched to the mouse action as
// the connection would, so that sequences (a key appears, is pressed, its
// settings change, it goes away) are explored, not single messages.
#include "FuzzInput.h"

#include "host/ESDConnectionManager.h"
#include "host/HostMessages.h"
#include "platform/recording/RecordingPlatform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/MyStreamDeckPlugin.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

// The host starts the plugin in its own folder, where icons are looked up by
// relative path: give it one with a single icon, so a key image is read and
// sent as well as missed. Crash files are written relative to the working
// directory, so runs by hand want an absolute -artifact_prefix.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fs::path folder = MakeScratchFolder("deckmouse-fuzz-messages");
    fs::create_directories(folder / "icons");
    std::ofstream(folder / "icons" / "click_left_1red.png", std::ios::binary) << "\x89PNG\r\n\x1a\n";
    fs::current_path(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        // A fresh plugin per input, linked to a connection that is never run:
        // images go nowhere, and no key table outlives its input.
        MyStreamDeckPlugin plugin;
        ESDConnectionManager connection{1, "uuid", "registerPlugin", &plugin};
        plugin.SetConnectionManager(&connection);
        for (const std::string& message : SplitLines(data, size)) DispatchHostMessage(plugin, message);
        // A command still running may hand an image to the connection: it ends while the connection is there.
        plugin.StopKeyCommands();
    }
    // The recorded input is process-wide.
    platform::recording::TakeCalls();
    return 0;
}
