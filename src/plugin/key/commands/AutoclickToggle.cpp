#include "plugin/key/commands/AutoclickToggle.h"

#include "plugin/key/runs/ActiveMouseCommand.h"
#include "plugin/key/commands/Autoclick.h"
#include "plugin/key/runs/KeyFeedback.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/runs/OngoingCommands.h"

void AutoclickToggle(const KeyPress& press, platform::MouseButton) {
    RunningInputs& autoclicks = press.ongoing.autoclicks;
    if (autoclicks.StopKey(press.context)) {
        press.feedback.ShowKeyImage(press.context, KeyFeedback::Image::Own);
        return;
    }
    const std::optional<AutoclickRate> rate = AutoclickRateOf(press.active);
    if (!rate) return;
    const platform::MouseButton button = rate->button;
    const Modifiers modifiers = press.active.modifiers;
    autoclicks.Toggle(press.context, press.device, rate->periodMs,
                      [button, modifiers] { Autoclick(button, modifiers); });
    press.feedback.ShowKeyImage(press.context, KeyFeedback::Image::Held);
}
