#include "plugin/key/AutoclickHold.h"

#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/Autoclick.h"
#include "plugin/key/KeyPress.h"
#include "plugin/key/PointerCommands.h"

void CheckAutoclickHold(const KeyPress& press, platform::MouseButton) { AutoclickRateOf(press.active); }

void StepAutoclickHold(const ActiveMouseCommand& active) {
    // Checked, and logged, at the press: a step every 10 ms must not log.
    const std::optional<platform::MouseButton> button = ParseButtonSetting(active.button);
    if (button) Autoclick(*button, active.modifiers);
}
