#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

// Every input the plugin injects goes through here: mouse_event for buttons
// and wheels, input batches, remembering which buttons and modifier keys this
// process pressed and has not released, and the cursor placement. Safe from
// any thread.

// Injects one mouse_event, unless input has ended.
void InjectMouseEvent(std::uint32_t flags, std::int32_t data);

// SetCursorPos, unless input has ended; false then or when the system refuses.
bool MoveCursorTo(int x, int y);

// SendInputBatch, unless input has ended; false then or when the system
// refused the batch. Its presses and releases, of buttons and of modifier
// keys, count as InjectMouseEvent's.
bool InjectInputBatch(const std::vector<platform::InputEvent>& events);

// The wheel input of one command has ended: what the system carries of a
// notch for it is dropped (platform::EndWheelInput), so that the next
// command scrolls by its own amount alone.
void EndCommandWheelInput();

// One wheel or horizontal-wheel event of a dial's turn, unless input has
// ended; `owner` names the dial. Its parts of a notch add up over its own
// turns, as a slow turn of small steps must scroll at all, and never with
// another's: whoever scrolls next, a key or another dial, starts from none.
bool InjectWheelFor(const std::string& owner, const platform::InputEvent& wheel);

// Releases every button that InjectMouseEvent or InjectInputBatch pressed and
// nothing released, then every modifier key that InjectInputBatch pressed and
// nothing released, in one batch, then lets no more input through, from any
// thread: once the plugin ends, or is told to, no button or key stays down
// and nothing moves.
// Returns within kEndInputDeadlineMs whatever the system does (a display server
// that has stopped answering keeps its client waiting for ever): true when
// every release reached the system by then, false when they were cut short.
// Later calls return what the first one found.
bool EndInput();

constexpr int kEndInputDeadlineMs = 500;
