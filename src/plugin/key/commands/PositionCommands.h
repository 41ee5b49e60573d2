#pragma once

#include "platform/Platform.h"

struct KeyPress;

// "MOUSE_POS_SAVE": puts where the pointer is into the slot "my_slot" names
// (SavedPositions), which the host then keeps. Where the system cannot tell
// where the pointer is (Wayland), the key shows the host's alert and the log
// says why.
void SavePosition(const KeyPress& press, platform::MouseButton unused);

// "MOUSE_POS_RESTORE": moves the pointer to the slot's position, as one
// batch with the key's modifiers. A slot that holds nothing shows the host's
// alert on the key.
void RestorePosition(const KeyPress& press, platform::MouseButton unused);
