#include "plugin/key/commands/Autoclick.h"

#include "plugin/ModifierScope.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/PointerCommands.h"
#include "support/Log.h"

#include <algorithm>

std::optional<AutoclickRate> AutoclickRateOf(const ActiveMouseCommand& active) {
    const std::optional<platform::MouseButton> button = ParseButtonSetting(active.button);
    if (!button) {
        LogLine("No button \"" + EscapeControlCharacters(active.button) + "\": " + active.commandName +
                " does nothing");
        return std::nullopt;
    }
    return AutoclickRate{*button, AutoclickPeriodMs(active)};
}

int AutoclickPeriodMs(const ActiveMouseCommand& active) { return std::max(active.pauseMs, kShortestAutoclickPeriodMs); }

void ClickOnce(const ActiveMouseCommand& active) {
    const std::optional<platform::MouseButton> button = ParseButtonSetting(active.button);
    if (!button) return;
    InjectWithModifiers(active.modifiers, {platform::InputEvent::Down(*button), platform::InputEvent::Up(*button)});
}
