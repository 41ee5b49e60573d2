#include "plugin/key/commands/JiggleToggle.h"

#include "plugin/key/runs/ActiveMouseCommand.h"
#include "plugin/key/runs/KeyFeedback.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/MouseInjection.h"

#include <algorithm>
#include <limits>

using platform::InputEvent;

namespace {

void Jiggle() { InjectInputBatch({InputEvent::MoveBy(1, 0), InputEvent::MoveBy(-1, 0)}); }

}  // namespace

int JigglePeriodMs(std::int32_t seconds) {
    constexpr std::int32_t kLongest = std::numeric_limits<int>::max() / 1000;
    return std::clamp(seconds, kJiggleShortestSeconds, kLongest) * 1000;
}

void JiggleToggle(const KeyPress& press, platform::MouseButton) {
    RunningInputs& jiggler = press.ongoing.jiggler;
    const auto others = jiggler.StopWhere(
        [&](const std::string& context, const std::string&) { return context != press.context; });
    for (const std::string& other : others) press.feedback.ShowKeyImage(other, KeyFeedback::Image::Own);
    const bool on = jiggler.Toggle(press.context, press.device, JigglePeriodMs(press.active.pauseMs), Jiggle);
    press.feedback.ShowKeyImage(press.context, on ? KeyFeedback::Image::Held : KeyFeedback::Image::Own);
}
