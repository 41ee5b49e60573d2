#pragma once

#include "platform/Platform.h"

struct KeyPress;

// "MOUSE_SEQUENCE": performs the key's parsed "my_steps" (StepParser.h) in
// order, as a run of its key's (KeyRuns), beside other keys' presses. Its
// key's next press, its willDisappear, its device's end and the plugin's
// stop it at its next step or wait. A `double` is the double-click commands' (DoubleClick), its presses
// as long as "my_sleep" and the system's double-click time allow. The key's
// modifiers are down for the whole run. Buttons go down and up under the
// key's SequenceHolder, and whatever it left down goes up at its end, then
// the modifiers, and its wheels' part of a notch ends.
// `return` moves back to where the pointer was at the start or the last
// `save`: to that position where the system can tell it; where it cannot
// (Wayland), by the sum of the relative moves made since, which only works
// when no absolute move came between: then it does nothing and logs why.
// Steps that did not all parse do nothing but log one line.
void RunSequence(const KeyPress& press, platform::MouseButton unused);
