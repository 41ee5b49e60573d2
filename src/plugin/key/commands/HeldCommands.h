#pragma once

#include "platform/Platform.h"

#include <string>

struct KeyPress;

// The held commands: they act for as long as their key is held, each press
// a run of its key's (KeyRuns) on a thread of its own.
//   "MOUSE_CURSOR_MOVE": moves by (offsetX, offsetY) every pauseMs + 1 ms,
//     placing the cursor from where it is, or as relative motion when
//     "my_relative" is "1" or the system cannot tell where the cursor is.
//   "MOUSE_WHEEL_HOLD", "MOUSE_HWHEEL_HOLD": turns the wheel by wheelAmount
//     (120 a notch, signed) every pauseMs, at least every 10 ms.
//   "MOUSE_AUTOCLICK_HOLD": clicks "my_button" every pauseMs, at least every
//     kShortestAutoclickPeriodMs, counted from each click's start; a button
//     that names nothing starts nothing, and the press logs why.
// With "my_accel", each step grows with the time held (AcceleratedStep).
// Each steps at once, and once however short the tap. A move or a scroll
// ends at its key's release, at any other key's press and at its key's or
// device's end; its "my_modifiers" are down from just before its first step
// until then. An autoclick is not ended by other keys' presses; its clicks
// each carry the modifiers.
bool IsHeldCommand(const std::string& commandName);

void StartHeldCommand(const KeyPress& press, platform::MouseButton unused);
