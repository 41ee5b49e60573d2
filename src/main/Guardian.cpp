#include "main/Guardian.h"

#include "platform/Platform.h"
#include "plugin/GuardianMessages.h"

int RunGuardian() {
    GuardedInput held;
    std::uint8_t bytes[64];
    while (!held.SaidGoodbye()) {
        const std::size_t count = platform::ReadFromPlugin(bytes, sizeof bytes);
        if (count == 0) break;
        for (std::size_t i = 0; i < count; ++i) held.Read(bytes[i]);
    }
    if (held.SaidGoodbye()) return 0;
    const std::vector<platform::InputEvent> releases = held.Releases();
    // Through this process's own display connection, the plugin's having died with it.
    if (!releases.empty() && !platform::SendInputBatch(releases)) return 1;
    return 0;
}
