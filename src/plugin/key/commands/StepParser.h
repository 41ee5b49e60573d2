#pragma once

#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The steps of "MOUSE_SEQUENCE" ("my_steps"): one step per line or between
// ";", each a step word and its arguments, words case-insensitive:
//   move X Y        to (X, Y), unsigned: desktop pixels, or from the top-left
//                   corner of the "my_monitor" monitor
//   move +DX -DY    by (DX, DY), both signed: relative motion
//   click B, double B, down B, up B     B one of left middle right x1 x2
//   wheel N, hwheel N                   120 a notch, positive up and right
//   wait MS
//   save            remembers where the pointer is, for the next `return`
//   return          back to where it was at the start or the last `save`
// Empty lines and empty steps between ";" are nothing.

constexpr int kMaxSteps = 64;
constexpr std::int64_t kMaxStepsWaitMs = 60000;
// Bounds of one step's numbers: past any desktop, past any useful scroll.
constexpr std::int32_t kMaxStepPosition = 65535;
constexpr std::int32_t kMaxStepMotion = 65535;
constexpr std::int32_t kMaxStepWheel = 60 * platform::WHEEL_DELTA;

struct Step {
    enum class Kind { MoveTo, MoveBy, Click, Double, Down, Up, Wheel, HWheel, Wait, Save, Return };
    Kind kind = Kind::Save;
    std::int32_t x = 0;       // MoveTo, MoveBy
    std::int32_t y = 0;
    platform::MouseButton button = platform::MouseButton::Left;  // Click, Double, Down, Up
    std::int32_t amount = 0;  // Wheel and HWheel units, Wait ms

    bool operator==(const Step& other) const {
        return kind == other.kind && x == other.x && y == other.y && button == other.button &&
               amount == other.amount;
    }
};

// What is wrong with one step: its 1-based line in the text, the step as
// typed (without the white space around it), and one of the codes
// "unknown-step", "bad-button", "bad-number", "wrong-count", "mixed-signs",
// "too-many-steps" (the first step past kMaxSteps; those after it are not
// looked at), "too-much-wait" (a wait that would take the waits past
// kMaxStepsWaitMs in all).
struct StepProblem {
    int line = 0;
    std::string text;
    std::string problem;

    bool operator==(const StepProblem& other) const {
        return line == other.line && text == other.text && problem == other.problem;
    }
};

struct ParsedSteps {
    std::vector<Step> steps;  // the steps that parsed, in order
    std::int64_t waitMs = 0;  // the sum of their waits
    std::vector<StepProblem> problems;
};

ParsedSteps ParseSteps(const std::string& text);

// The settings page's check: {"steps": <count>, "waitMs": <sum>,
// "problems": [{"line", "text", "problem"}, ...]}.
nlohmann::json DescribeStepCheck(const ParsedSteps& parsed);
