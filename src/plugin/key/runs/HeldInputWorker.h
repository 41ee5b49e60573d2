#pragma once

#include <string>

// The held commands: they act for as long as their key is held, stepped by
// one worker for the whole process.
//   "MOUSE_CURSOR_MOVE": moves by (offsetX, offsetY) every pauseMs + 1 ms,
//     placing the cursor from where it is, or as relative motion when
//     "my_relative" is "1" or the system cannot tell where the cursor is.
//   "MOUSE_WHEEL_HOLD", "MOUSE_HWHEEL_HOLD": turns the wheel by wheelAmount
//     (120 a notch, signed) every pauseMs, at least every 10 ms.
//   "MOUSE_AUTOCLICK_HOLD": clicks "my_button" every pauseMs, at least every
//     kShortestAutoclickPeriodMs, counted from each click's start (AutoclickHold).
// With "my_accel", each step grows with the time held (AcceleratedStep).
// The key's "my_modifiers" are down from just before its first step until
// its hold ends (its release, a press of any key, its key's or device's end).
bool IsHeldCommand(const std::string& commandName);

// Steps the held command while its key is held; sleeps until one is. A new
// press or a release ends the wait between two steps at once. Never returns.
void HeldInputWorker();

// Starts the one worker of the process on a detached thread, the first time
// only. Raises std::system_error when the thread cannot be started; a later
// call then tries again.
void StartHeldInputWorker();
