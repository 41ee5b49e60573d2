#include "plugin/key/runs/HeldInputWorker.h"

#include "platform/Platform.h"
#include "plugin/key/commands/AcceleratedStep.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/runs/ActiveMouseCommand.h"
#include "plugin/key/commands/Autoclick.h"
#include "plugin/key/commands/AutoclickHold.h"
#include "plugin/MouseInjection.h"
#include "support/TimeLeft.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <mutex>
#include <thread>

namespace {

using platform::InputEvent;

// Where the cursor was last seen; each placement starts from where it really
// is, so the user's own movement adds to it.
struct WorkerState {
    platform::Point remembered;
};

// Offsets are not bounded, so the sum is taken wide and kept within int.
int OffsetCoordinate(std::int32_t position, std::int32_t offset) {
    const std::int64_t sum = static_cast<std::int64_t>(position) + offset;
    return static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
}

std::int32_t Grown(std::int32_t firstStep, const ActiveMouseCommand& active, std::int64_t heldMs) {
    return AcceleratedStep(firstStep, active.accelPercent, heldMs);
}

void StepCursor(const ActiveMouseCommand& active, std::int64_t heldMs, WorkerState& state) {
    const std::int32_t dx = Grown(active.offsetX, active, heldMs);
    const std::int32_t dy = Grown(active.offsetY, active, heldMs);
    // Where the position cannot be read (Wayland) the steps are relative
    // motion, which needs no starting point.
    if (active.relative || !platform::CanReadCursorPos()) {
        InjectInputBatch({InputEvent::MoveBy(dx, dy)});
        return;
    }
    platform::Point current;
    if (platform::GetCursorPos(current)) state.remembered = current;
    MoveCursorTo(OffsetCoordinate(state.remembered.x, dx), OffsetCoordinate(state.remembered.y, dy));
}

void StepWheel(const ActiveMouseCommand& active, std::int64_t heldMs, WorkerState&) {
    InjectInputBatch({InputEvent::Wheel(Grown(active.wheelAmount, active, heldMs))});
}

void StepHWheel(const ActiveMouseCommand& active, std::int64_t heldMs, WorkerState&) {
    InjectInputBatch({InputEvent::HWheel(Grown(active.wheelAmount, active, heldMs))});
}

// A wheel step faster than this would flood programs that redraw per step.
constexpr int kShortestWheelPeriodMs = 10;

struct HeldCommand {
    const char* name;
    void (*step)(const ActiveMouseCommand&, std::int64_t heldMs, WorkerState&);
    int shortestPauseMs;  // the pause after a step is pauseMs, at least this
    int afterPauseMs;     // then this much more
    bool scrolls;         // leaves part of a notch where the system sends whole ones
    // An autoclick: its pause counts from each click's start, as a click rate
    // is what it promises and the system's time for a click (long under
    // Wine) must not slow it; and each click carries the key's modifiers,
    // so that between clicks the user's keyboard works as usual.
    bool clicks;
};

// The move keeps the cadence it always had: the pause, then one more millisecond.
const HeldCommand kHeldCommands[] = {
    {"MOUSE_CURSOR_MOVE", StepCursor, 0, 1, false, false},
    {"MOUSE_WHEEL_HOLD", StepWheel, kShortestWheelPeriodMs, 0, true, false},
    {"MOUSE_HWHEEL_HOLD", StepHWheel, kShortestWheelPeriodMs, 0, true, false},
    {"MOUSE_AUTOCLICK_HOLD",
     [](const ActiveMouseCommand& active, std::int64_t, WorkerState&) { StepAutoclickHold(active); },
     kShortestAutoclickPeriodMs, 0, false, true},
};

const HeldCommand* FindHeldCommand(const std::string& name) {
    for (const HeldCommand& command : kHeldCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

}  // namespace

bool IsHeldCommand(const std::string& commandName) { return FindHeldCommand(commandName) != nullptr; }

void HeldInputWorker() {
    // The system's first answer about input makes it settle how it sends
    // input (on Linux: which path); asked as the first key appears, so that
    // the first press does not wait for that.
    platform::CanReadCursorPos();
    WorkerState state;
    for (;;) {
        const ActiveMouseCommand active = WaitForHeldCommand(IsHeldCommand);
        const HeldCommand& held = *FindHeldCommand(active.commandName);
        // The key's modifiers go down before its first step (a batch of their
        // own) and stay down for as long as the hold goes on; an autoclick's
        // clicks each carry them instead.
        const std::string holder = HeldCommandHolder(active.context);
        if (!held.clicks) HeldInput().HoldModifiers(holder, active.modifiers);
        const auto stepStart = std::chrono::steady_clock::now();
        const auto heldFor = stepStart - active.heldSince;
        held.step(active, std::chrono::duration_cast<std::chrono::milliseconds>(heldFor).count(), state);
        HeldStepTaken(active);
        const int pauseMs = std::max(active.pauseMs, held.shortestPauseMs);
        WaitWhileHoldGoesOn(active, held.clicks ? MillisecondsLeft(stepStart, pauseMs) : pauseMs);
        if (!HoldGoesOn(active)) {
            // A held scroll's part of a notch ends with the hold, and so do the keys.
            if (held.scrolls) EndCommandWheelInput();
            HeldInput().ReleaseModifiers(holder);
        }
        platform::SleepMilliseconds(held.afterPauseMs);
    }
}

void StartHeldInputWorker() {
    static std::once_flag started;
    std::call_once(started, [] { std::thread(HeldInputWorker).detach(); });
}
