#pragma once

#include <string>

struct KeyPress;

// Performs the command of a key press, once the active command holds the
// key's settings. The 22 commands that came first go
// through ExecuteMouseCommand with their passes. The later ones act at once,
// without passes ("my_repeat_loops" does not apply):
//   "MOUSE_{LEFT,MIDDLE,RIGHT}_DOUBLE_CLICK"  DoubleClick
//   "MOUSE_{LEFT,MIDDLE,RIGHT}_TOGGLE"        ToggleLocks::Press
//   "MOUSE_CLICK_AT", "MOUSE_CURSOR_NUDGE"    PointerCommands
//   "MOUSE_SEQUENCE"                          StepSequence
//   "MOUSE_POS_SAVE", "MOUSE_POS_RESTORE"     PositionCommands
//   "MOUSE_CURSOR_MOVE", "MOUSE_WHEEL_HOLD",
//   "MOUSE_HWHEEL_HOLD", "MOUSE_AUTOCLICK_HOLD" HeldCommands, while the key is held
//   "MOUSE_AUTOCLICK_TOGGLE"                  AutoclickToggle
//   "MOUSE_JIGGLE_TOGGLE"                     JiggleToggle
// Whatever the command, when the foreground window is out of reach of
// injected input (elevated), the key shows the host's alert and the log says
// why, the first time; the input is sent all the same.
void PerformKeyPress(const KeyPress& press);

// True for the commands that go through ExecuteMouseCommand's passes, the
// only ones that read "my_repeat_loops".
bool RunsPasses(const std::string& commandName);

// True for the commands that ToggleLocks keeps down.
bool IsToggleCommand(const std::string& commandName);
