#include "plugin/key/commands/HeldCommands.h"

#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "plugin/ModifierScope.h"
#include "plugin/MouseInjection.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/AcceleratedStep.h"
#include "plugin/key/commands/Autoclick.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/runs/KeyRuns.h"
#include "plugin/key/runs/RepeatedSteps.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>

namespace {

using platform::InputEvent;

// Where the cursor was last seen, for the whole process: each placement
// starts from where it really is, so the user's own movement adds to it, and
// from there when the system cannot tell.
class RememberedCursor {
public:
    platform::Point Read() {
        platform::Point current;
        std::lock_guard<std::mutex> guard(mutex);
        if (platform::GetCursorPos(current)) remembered = current;
        return remembered;
    }

private:
    std::mutex mutex;
    platform::Point remembered;
};

RememberedCursor& Remembered() {
    static RememberedCursor* cursor = new RememberedCursor();  // never destroyed: a run may outlive main
    return *cursor;
}

// Offsets are not bounded, so the sum is taken wide and kept within int.
int OffsetCoordinate(std::int32_t position, std::int32_t offset) {
    const std::int64_t sum = static_cast<std::int64_t>(position) + offset;
    return static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
}

std::int32_t Grown(std::int32_t firstStep, const ActiveMouseCommand& active, std::int64_t heldMs) {
    return AcceleratedStep(firstStep, active.accelPercent, heldMs);
}

void StepCursor(const ActiveMouseCommand& active, std::int64_t heldMs) {
    const std::int32_t dx = Grown(active.offsetX, active, heldMs);
    const std::int32_t dy = Grown(active.offsetY, active, heldMs);
    // Where the position cannot be read (Wayland) the steps are relative
    // motion, which needs no starting point.
    if (active.relative || !platform::CanReadCursorPos()) {
        InjectInputBatch({InputEvent::MoveBy(dx, dy)});
        return;
    }
    const platform::Point from = Remembered().Read();
    MoveCursorTo(OffsetCoordinate(from.x, dx), OffsetCoordinate(from.y, dy));
}

void StepWheel(const ActiveMouseCommand& active, std::int64_t heldMs) {
    InjectInputBatch({InputEvent::Wheel(Grown(active.wheelAmount, active, heldMs))});
}

void StepHWheel(const ActiveMouseCommand& active, std::int64_t heldMs) {
    InjectInputBatch({InputEvent::HWheel(Grown(active.wheelAmount, active, heldMs))});
}

void StepAutoclick(const ActiveMouseCommand& active, std::int64_t) { ClickOnce(active); }

// A wheel step faster than this would flood programs that redraw per step.
constexpr int kShortestWheelPeriodMs = 10;

struct HeldCommand {
    const char* name;
    void (*step)(const ActiveMouseCommand&, std::int64_t heldMs);
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
    {"MOUSE_AUTOCLICK_HOLD", StepAutoclick, kShortestAutoclickPeriodMs, 0, false, true},
};

const HeldCommand* FindHeldCommand(const std::string& name) {
    for (const HeldCommand& command : kHeldCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

void RunHeld(const HeldCommand& held, KeyRun& run) {
    run.Reached(RunPoint::Started);
    // Let go of by the scope whatever way the run ends: after the last step
    // and the end of its wheel input.
    ModifierScope modifiers(HeldCommandHolder(run.Context()), held.clicks ? Modifiers{} : run.Command().modifiers,
                            run.Device());
    RepeatSteps(run, [&](const ActiveMouseCommand& active, std::int64_t heldMs) {
        held.step(active, heldMs);
        return Pause{std::max(active.pauseMs, held.shortestPauseMs) + held.afterPauseMs, held.clicks};
    });
    // A held scroll's part of a notch ends with the hold.
    if (held.scrolls) EndCommandWheelInput();
}

}  // namespace

bool IsHeldCommand(const std::string& commandName) { return FindHeldCommand(commandName) != nullptr; }

void StartHeldCommand(const KeyPress& press, platform::MouseButton) {
    const HeldCommand& held = *FindHeldCommand(press.active.commandName);
    // Checked, and logged, at the press: a step every 10 ms must not log.
    if (held.clicks && !AutoclickRateOf(press.active)) return;
    press.runs.Start(press.context, press.device, held.clicks ? RunKind::HeldAutoclick : RunKind::Held, press.active,
                     [&held](KeyRun& run) { RunHeld(held, run); });
}
