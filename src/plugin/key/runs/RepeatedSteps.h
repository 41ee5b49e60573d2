#pragma once

#include "plugin/key/runs/KeyRun.h"

#include <cstdint>
#include <functional>

// How long a repeating run waits after a step.
struct Pause {
    int milliseconds;
    // Counted from the step's start: a rate (an autoclick's), which the
    // time a step takes must not slow. Otherwise from its end.
    bool fromStepStart;
};

// One step of a repeating run: the key's command as its settings stand now
// and the time since the run started; returns the pause that follows.
using RepeatedStep = std::function<Pause(const ActiveMouseCommand& command, std::int64_t runMs)>;

// Steps at once, and again after each pause, until the run is asked to
// stop; the first step is made even when it is asked before (a tap of a
// held key steps once). A step in progress always completes.
void RepeatSteps(KeyRun& run, const RepeatedStep& step);
