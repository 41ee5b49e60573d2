#include "plugin/key/DoubleClick.h"

#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/KeyPress.h"
#include "plugin/StopSignal.h"

#include <algorithm>
#include <string>

DoubleClickTiming FitDoubleClick(int pauseMs, int doubleClickTimeMs) {
    const int budget = std::max(doubleClickTimeMs, 0) * 8 / 10;
    const int gap = std::min(kDoubleClickGapMs, budget);
    return {std::clamp(pauseMs, 0, budget - gap), gap};
}

void DoubleClick(const KeyPress& press, platform::MouseButton button) {
    const DoubleClickTiming timing = FitDoubleClick(press.active.pauseMs, platform::GetDoubleClickTimeMs());
    const std::string holder = ClickHolder(press.context);
    for (int click = 0; click < 2; ++click) {
        if (click > 0 && !press.stop.Wait(timing.gapMs)) return;
        HeldInput().Hold(holder, button);
        const bool waited = press.stop.Wait(timing.pressMs);
        HeldInput().Release(holder, button);
        if (!waited) return;
    }
}
