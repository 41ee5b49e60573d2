#pragma once

#include <cstdint>

// mouse_event for the plugin's buttons and wheels, remembering which buttons
// this process pressed and has not released. Called on the event thread only.
void InjectMouseEvent(std::uint32_t flags, std::int32_t data);

// Releases every button that InjectMouseEvent pressed and nothing released,
// so that no button stays down after the plugin ends.
void ReleasePressedButtons();
