#pragma once

#include "platform/Platform.h"

struct ActiveMouseCommand;
struct KeyPress;

// "MOUSE_AUTOCLICK_HOLD" clicks while its key is held: a held command of the
// held-input worker, which clicks at once, then every AutoclickRate period
// until keyUp, willDisappear or the device's end, and once however short
// the tap.

// The press itself sends nothing; it logs when "my_button" names no button,
// which makes every step click nothing.
void CheckAutoclickHold(const KeyPress& press, platform::MouseButton unused);

// One step of the worker: a click of the key's button, with its modifiers.
void StepAutoclickHold(const ActiveMouseCommand& active);
