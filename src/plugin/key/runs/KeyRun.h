#pragma once

#include "plugin/StopSignal.h"
#include "plugin/key/ActiveMouseCommand.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

// What ends a run, apart from the end of its key (willDisappear), its
// device and the plugin, which end every kind but the jiggler's survives
// its key's willDisappear, as the host cannot tell a page switch from a key
// removed.
enum class RunKind {
    Held,             // a held move or scroll: its key's release, and any other key's press
    HeldAutoclick,    // its key's release only
    Sequence,         // its key's next press
    AutoclickToggle,  // its key's next press
    Jiggler,          // its key's next press, or another jiggler's start
};

// The points of a repeating run's loop, where a test may end it (RunPointHook).
enum class RunPoint {
    Started,    // before anything is sent
    StepDue,    // before each step
    Stepped,    // after each step, before the wait
};

// One run of a key's command on a thread of its own: what its body sees.
// The command is the key's as its settings stand now: a settings change
// reaches the run at its next step.
class KeyRun {
public:
    KeyRun(std::string context, std::string device, RunKind kind, ActiveMouseCommand command);

    const std::string& Context() const { return context; }
    const std::string& Device() const { return device; }
    RunKind Kind() const { return kind; }
    const StopSignal& Stop() const { return stop; }
    std::chrono::steady_clock::time_point StartedAt() const { return startedAt; }

    ActiveMouseCommand Command() const;
    void Update(ActiveMouseCommand command);

    // Waits `milliseconds` or until the run is asked to stop: false then.
    bool Wait(int milliseconds) const { return stop.Wait(milliseconds); }

    // The loop reached `point`: the hook, if a test set one, runs here.
    void Reached(RunPoint point) const;

    void RequestStop() { stop.Request(); }

private:
    const std::string context;
    const std::string device;
    const RunKind kind;
    const std::chrono::steady_clock::time_point startedAt = std::chrono::steady_clock::now();
    StopSignal stop;
    mutable std::mutex mutex;
    ActiveMouseCommand command;
};

// For tests: called on the run's thread at each RunPoint, with the run; an
// empty function removes it. Set while no run goes on.
using RunPointHook = std::function<void(const KeyRun& run, RunPoint point)>;
void SetRunPointHook(RunPointHook hook);
