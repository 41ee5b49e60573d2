#pragma once

#include "platform/Platform.h"

struct KeyPress;

// "MOUSE_AUTOCLICK_TOGGLE": the first press starts clicking "my_button", with
// "my_modifiers" around each click, at the AutoclickRate of the key's
// settings, at once and then as a run of its key's (KeyRuns), so that other
// keys' presses go on; a change of its settings takes effect at its next
// click. The next press stops it. The key shows its held image while it
// clicks. It also stops at the key's willDisappear, its device's end and the
// plugin's. A button that names nothing starts nothing; a press that stops
// needs none.
void AutoclickToggle(const KeyPress& press, platform::MouseButton unused);
