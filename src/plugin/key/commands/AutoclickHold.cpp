#include "plugin/key/commands/AutoclickHold.h"

#include "plugin/key/runs/ActiveMouseCommand.h"
#include "plugin/key/commands/Autoclick.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/PointerCommands.h"

void CheckAutoclickHold(const KeyPress& press, platform::MouseButton) { AutoclickRateOf(press.active); }

void StepAutoclickHold(const ActiveMouseCommand& active) {
    // Checked, and logged, at the press: a step every 10 ms must not log.
    const std::optional<platform::MouseButton> button = ParseButtonSetting(active.button);
    if (button) Autoclick(*button, active.modifiers);
}
