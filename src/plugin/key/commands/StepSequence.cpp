#include "plugin/key/commands/StepSequence.h"

#include "plugin/HeldButtons.h"
#include "plugin/ModifierScope.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/DoubleClick.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/PointerCommands.h"
#include "plugin/key/commands/StepParser.h"
#include "plugin/key/runs/KeyRuns.h"
#include "plugin/MouseInjection.h"
#include "plugin/StopSignal.h"
#include "support/Log.h"

#include <optional>
#include <string>

using platform::InputEvent;

namespace {

// Where `return` goes: the position read at the start or the last `save`
// when the system could tell it, and the relative motion made since, for
// when it could not.
struct ReturnPoint {
    std::optional<platform::Point> position;
    std::int64_t movedX = 0;
    std::int64_t movedY = 0;
    bool movedTo = false;  // an absolute move came since: the motion says nothing

    static ReturnPoint Here() {
        ReturnPoint point;
        platform::Point position;
        if (platform::GetCursorPos(position)) point.position = position;
        return point;
    }
};

class SequenceRun {
public:
    explicit SequenceRun(const KeyPress& press)
        : press(press),
          holder(SequenceHolder(press.context)),
          modifiers(holder, press.active.modifiers, press.device) {}

    // The buttons left down come up, then the modifiers, in one batch.
    ~SequenceRun() {
        HeldInput().LetGo(holder);
        if (scrolled) EndCommandWheelInput();
    }

    // False when a stop cut the step short.
    bool Perform(const Step& step) {
        switch (step.kind) {
            case Step::Kind::MoveTo:
                MoveTo(step);
                return true;
            case Step::Kind::MoveBy:
                InjectInputBatch({InputEvent::MoveBy(step.x, step.y)});
                returnPoint.movedX += step.x;
                returnPoint.movedY += step.y;
                return true;
            case Step::Kind::Click:
                HeldInput().Hold(holder, step.button);
                HeldInput().Release(holder, step.button);
                return true;
            case Step::Kind::Double:
                DoubleClick(press, step.button);
                return !press.stop.Requested();
            case Step::Kind::Down:
                HeldInput().Hold(holder, step.button);
                return true;
            case Step::Kind::Up:
                HeldInput().Release(holder, step.button);
                return true;
            case Step::Kind::Wheel:
            case Step::Kind::HWheel:
                scrolled = true;
                InjectInputBatch({step.kind == Step::Kind::Wheel ? InputEvent::Wheel(step.amount)
                                                                  : InputEvent::HWheel(step.amount)});
                return true;
            case Step::Kind::Wait:
                return press.stop.Wait(step.amount);
            case Step::Kind::Save:
                returnPoint = ReturnPoint::Here();
                return true;
            case Step::Kind::Return:
                Return();
                return true;
        }
        return true;
    }

    // Read only when a step will go back to it.
    void RememberStart() { returnPoint = ReturnPoint::Here(); }

private:
    // A monitor that is not there is logged, and the other steps go on.
    void MoveTo(const Step& step) {
        const std::optional<platform::Point> target =
            ChosenPoint(press.active.monitor, MonitorSpot::Offsets, step.x, step.y, press.active.commandName);
        if (!target) return;
        InjectInputBatch({InputEvent::MoveTo(target->x, target->y)});
        returnPoint.movedTo = true;
    }

    void Return() {
        if (returnPoint.position) {
            InjectInputBatch({InputEvent::MoveTo(returnPoint.position->x, returnPoint.position->y)});
        } else if (!returnPoint.movedTo) {
            // Each step kept within its bounds, 64 of them stay far inside 32 bits.
            InjectInputBatch({InputEvent::MoveBy(static_cast<std::int32_t>(-returnPoint.movedX),
                                                 static_cast<std::int32_t>(-returnPoint.movedY))});
        } else {
            LogLine("The system does not tell where the pointer is, and a move to a position came since: "
                    "MOUSE_SEQUENCE's return does nothing");
            return;
        }
        returnPoint.movedX = 0;
        returnPoint.movedY = 0;
        returnPoint.movedTo = false;
    }

    const KeyPress& press;
    const std::string holder;
    ModifierScope modifiers;  // around the whole run
    ReturnPoint returnPoint;
    bool scrolled = false;
};

bool Returns(const ParsedSteps& parsed) {
    for (const Step& step : parsed.steps) {
        if (step.kind == Step::Kind::Return) return true;
    }
    return false;
}

// The steps in order, until a stop.
void PerformSteps(const KeyPress& press) {
    const ParsedSteps& parsed = *press.active.steps;
    SequenceRun run(press);
    if (Returns(parsed)) run.RememberStart();
    for (const Step& step : parsed.steps) {
        if (press.stop.Requested() || !run.Perform(step)) return;
    }
}

}  // namespace

void RunSequence(const KeyPress& press, platform::MouseButton) {
    // A press queued while the key's run went on ends it, as a press does
    // that comes while it runs.
    if (press.runs.StopKey(press.context)) return;
    const ParsedSteps* parsed = press.active.steps.get();
    if (parsed == nullptr) return;
    if (!parsed->problems.empty()) {
        const StepProblem& first = parsed->problems.front();
        LogLine("MOUSE_SEQUENCE does nothing: its steps do not parse (" + std::to_string(parsed->problems.size()) +
                " problem(s), the first on line " + std::to_string(first.line) + ": " + first.problem + ")");
        return;
    }
    press.runs.Start(press.context, press.device, RunKind::Sequence, press.active,
                     // The steps as they stood at the press, whatever the page sends meanwhile.
                     [active = press.active, &feedback = press.feedback, &toggles = press.toggles,
                      &runs = press.runs, &positions = press.positions](KeyRun& run) {
                         PerformSteps(KeyPress{run.Context(), run.Device(), active, run.Stop(), feedback, toggles,
                                               runs, positions});
                     });
}
