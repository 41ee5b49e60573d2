#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>

// What a dial does, read from the texts its settings page stored. Every
// member has a default, and a value that cannot be read falls back to it, so
// that a dial always does something sensible.

// "dial_rotate": what a turn drives.
enum class DialAxis { Wheel, HWheel, MoveX, MoveY };

// "dial_press" and "dial_touch": what a push of the dial or a tap on its strip does.
// LeftHold is a press choice only: it needs the release that a tap lacks.
enum class DialButton { None, Swap, LeftClick, MiddleClick, RightClick, LeftHold };

struct DialSettings {
    DialAxis axis = DialAxis::Wheel;
    // Wheel units or pixels per tick, never 0; 0 here means the axis's default.
    std::int32_t step = 0;
    std::int32_t accel = 0;  // 0..100
    DialButton press = DialButton::LeftHold;
    DialButton touch = DialButton::Swap;
};

// Wheel units: one notch. Pixels: a step that is visible without being coarse.
constexpr std::int32_t kDefaultWheelStep = 120;
constexpr std::int32_t kDefaultMoveStep = 10;
// A step beyond these is taken as these: ten notches, and a tenth of a large screen.
constexpr std::int32_t kMaxWheelStep = 1200;
constexpr std::int32_t kMaxMoveStep = 500;
constexpr std::int32_t kMaxDialAccel = 100;

bool IsWheelAxis(DialAxis axis);

// The other axis of the same kind: the wheels with each other, the moves with each other.
DialAxis SwappedAxis(DialAxis axis);

// The step per tick for `axis`: the stored one within its bounds, or the default.
std::int32_t StepFor(const DialSettings& settings, DialAxis axis);

// From a settings object (willAppear's payload.settings, or a sendToPlugin
// payload); anything that is not an object gives the defaults. Never raises.
DialSettings ParseDialSettings(const nlohmann::json& settings);
