#pragma once

#include "plugin/StopSignal.h"

#include <functional>
#include <thread>

// Input that goes on by itself, apart from any key being held: `step` runs at
// once, then again `periodMs` after each step began (later when the step
// took longer), on a thread of its own, until Stop. A step in progress
// always completes.
class RepeatingInput {
public:
    // Raises std::system_error when the thread cannot be started.
    RepeatingInput(int periodMs, std::function<void()> step);
    ~RepeatingInput();
    RepeatingInput(const RepeatingInput&) = delete;
    RepeatingInput& operator=(const RepeatingInput&) = delete;

    // Returns once no step runs and none will. Not from within a step.
    void Stop();

private:
    void Run(int periodMs, const std::function<void()>& step);

    StopSignal stop;
    std::thread thread;  // last: starts once the signal exists
};
