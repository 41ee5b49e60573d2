#include "main/Guardian.h"

#include "platform/Platform.h"
#include "plugin/GuardianMessages.h"

int RunGuardian() {
    GuardedButtons buttons;
    std::uint8_t messages[64];
    while (!buttons.SaidGoodbye()) {
        const std::size_t count = platform::ReadFromPlugin(messages, sizeof messages);
        if (count == 0) break;
        for (std::size_t i = 0; i < count; ++i) buttons.Read(messages[i]);
    }
    if (buttons.SaidGoodbye()) return 0;
    const std::vector<platform::InputEvent> releases = buttons.Releases();
    // Through this process's own display connection, the plugin's having died with it.
    if (!releases.empty() && !platform::SendInputBatch(releases)) return 1;
    return 0;
}
