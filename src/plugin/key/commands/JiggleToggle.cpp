#include "plugin/key/commands/JiggleToggle.h"

#include "plugin/MouseInjection.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/runs/KeyFeedback.h"
#include "plugin/key/runs/KeyRuns.h"
#include "plugin/key/runs/RepeatedSteps.h"

#include <algorithm>
#include <limits>

using platform::InputEvent;

int JigglePeriodMs(std::int32_t seconds) {
    constexpr std::int32_t kLongest = std::numeric_limits<int>::max() / 1000;
    return std::clamp(seconds, kJiggleShortestSeconds, kLongest) * 1000;
}

void JiggleToggle(const KeyPress& press, platform::MouseButton) {
    const auto others = press.runs.StopWhere(
        [&](const KeyRun& run) { return run.Kind() == RunKind::Jiggler && run.Context() != press.context; });
    for (const std::string& other : others) press.feedback.ShowKeyImage(other, KeyFeedback::Image::Own);
    if (press.runs.StopKey(press.context)) {
        press.feedback.ShowKeyImage(press.context, KeyFeedback::Image::Own);
        return;
    }
    press.runs.Start(press.context, press.device, RunKind::Jiggler, press.active, [](KeyRun& run) {
        RepeatSteps(run, [](const ActiveMouseCommand& active, std::int64_t) {
            InjectInputBatch({InputEvent::MoveBy(1, 0), InputEvent::MoveBy(-1, 0)});
            return Pause{JigglePeriodMs(active.pauseMs), true};
        });
    });
    press.feedback.ShowKeyImage(press.context, KeyFeedback::Image::Held);
}
