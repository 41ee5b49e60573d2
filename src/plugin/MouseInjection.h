#pragma once

#include <cstdint>

// Every input the plugin injects goes through here: mouse_event for buttons
// and wheels, remembering which buttons this process pressed and has not
// released, and the cursor placement. Safe from any thread.

// Injects one mouse_event, unless input has ended.
void InjectMouseEvent(std::uint32_t flags, std::int32_t data);

// SetCursorPos, unless input has ended; false then or when the system refuses.
bool MoveCursorTo(int x, int y);

// Releases every button that InjectMouseEvent pressed and nothing released,
// then lets no more input through, from any thread: once the plugin ends, or
// is told to, no button stays down and nothing moves.
void EndInput();
