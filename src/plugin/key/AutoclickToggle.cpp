#include "plugin/key/AutoclickToggle.h"

#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/Autoclick.h"
#include "plugin/key/KeyFeedback.h"
#include "plugin/key/KeyPress.h"
#include "plugin/key/OngoingCommands.h"

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
