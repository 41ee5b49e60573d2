#pragma once

#include "platform/Platform.h"

struct KeyPress;

// Programs tell two clicks apart by the release between them; this is long
// enough for any to see it and short next to any double-click time.
constexpr int kDoubleClickGapMs = 20;

// How long each press of a double-click lasts and the gap between the
// release and the next press, in ms.
struct DoubleClickTiming {
    int pressMs;
    int gapMs;
};

// Fits the pair inside 80 % of the system's double-click time, measured from
// the first press to the second (which also bounds the first release to the
// second press, X11's measure): the gap is kDoubleClickGapMs, or all there is
// when the time is shorter; each press lasts pauseMs, cut down to what is left.
DoubleClickTiming FitDoubleClick(int pauseMs, int doubleClickTimeMs);

// Two clicks of `button` where the pointer is, each press and release a
// batch of its own, timed by FitDoubleClick with the key's "my_sleep", the
// button held under the key's click holder, the key's modifiers with it from
// the first press's batch to the last release's. A stop during a press lets
// the button (and the modifiers) go at once.
void DoubleClick(const KeyPress& press, platform::MouseButton button);
