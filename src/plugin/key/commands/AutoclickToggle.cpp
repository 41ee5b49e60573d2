#include "plugin/key/commands/AutoclickToggle.h"

#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/Autoclick.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/runs/KeyFeedback.h"
#include "plugin/key/runs/KeyRuns.h"
#include "plugin/key/runs/RepeatedSteps.h"

void AutoclickToggle(const KeyPress& press, platform::MouseButton) {
    if (press.runs.StopKey(press.context)) {
        press.feedback.ShowKeyImage(press.context, KeyFeedback::Image::Own);
        return;
    }
    if (!AutoclickRateOf(press.active)) return;
    press.runs.Start(press.context, press.device, RunKind::AutoclickToggle, press.active, [](KeyRun& run) {
        RepeatSteps(run, [](const ActiveMouseCommand& active, std::int64_t) {
            ClickOnce(active);
            return Pause{AutoclickPeriodMs(active), true};
        });
    });
    press.feedback.ShowKeyImage(press.context, KeyFeedback::Image::Held);
}
