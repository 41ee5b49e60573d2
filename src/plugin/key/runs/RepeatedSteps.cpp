#include "plugin/key/runs/RepeatedSteps.h"

#include "support/TimeLeft.h"

#include <chrono>

void RepeatSteps(KeyRun& run, const RepeatedStep& step) {
    do {
        run.Reached(RunPoint::StepDue);
        const auto started = std::chrono::steady_clock::now();
        const auto runMs = std::chrono::duration_cast<std::chrono::milliseconds>(started - run.StartedAt()).count();
        const Pause pause = step(run.Command(), runMs);
        run.Reached(RunPoint::Stepped);
        if (!run.Wait(pause.fromStepStart ? MillisecondsLeft(started, pause.milliseconds) : pause.milliseconds)) return;
    } while (true);
}
