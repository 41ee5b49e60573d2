#include "plugin/key/commands/Autoclick.h"

#include "plugin/key/runs/ActiveMouseCommand.h"
#include "plugin/key/commands/PointerCommands.h"
#include "plugin/ModifierScope.h"
#include "support/Log.h"

#include <algorithm>

std::optional<AutoclickRate> AutoclickRateOf(const ActiveMouseCommand& active) {
    const std::optional<platform::MouseButton> button = ParseButtonSetting(active.button);
    if (!button) {
        LogLine("No button \"" + EscapeControlCharacters(active.button) + "\": " + active.commandName +
                " does nothing");
        return std::nullopt;
    }
    return AutoclickRate{*button, std::max(active.pauseMs, kShortestAutoclickPeriodMs)};
}

void Autoclick(platform::MouseButton button, const Modifiers& modifiers) {
    InjectWithModifiers(modifiers, {platform::InputEvent::Down(button), platform::InputEvent::Up(button)});
}
