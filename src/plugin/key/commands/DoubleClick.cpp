#include "plugin/key/commands/DoubleClick.h"

#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/KeyPress.h"
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
    // The modifiers go down in the first press's batch and up in the last
    // release's, also when a stop cuts the pair short.
    HeldInput().HoldWithModifiers(holder, button, press.active.modifiers);
    if (press.stop.Wait(timing.pressMs)) {
        HeldInput().Release(holder, button);
        if (press.stop.Wait(timing.gapMs)) {
            HeldInput().Hold(holder, button);
            press.stop.Wait(timing.pressMs);
        }
    }
    HeldInput().LetGo(holder);
}
