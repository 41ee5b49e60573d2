#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>

struct ActiveMouseCommand;
struct KeyPress;

// "my_button": "LEFT" (also when empty), "MIDDLE", "RIGHT", "X1", "X2";
// nothing for any other text.
std::optional<platform::MouseButton> ParseButtonSetting(const std::string& text);

// Each sends one batch, with the key's modifiers in it around the rest.

// "MOUSE_CLICK_AT": one batch that moves to the offsets (on the monitor that
// "my_monitor" names, kept inside it; otherwise desktop pixels as they are),
// clicks "my_button" there and, with "my_return" "1", moves back to where the
// pointer was, when the system could say. A button or monitor that names
// nothing does nothing.
void ClickAt(const KeyPress& press, platform::MouseButton unused);

// "MOUSE_CURSOR_NUDGE": one relative move by the offsets, as a mouse reports it.
void Nudge(const KeyPress& press, platform::MouseButton unused);

// "MOUSE_CURSOR_POS" and "MOUSE_CURSOR_RESET" when "my_monitor" is set: the
// offsets from the monitor's top-left corner, kept inside it, or its centre.
enum class MonitorSpot { Offsets, Centre };

// The point a position command names: (x, y) from the top-left corner of the
// monitor that `monitorChoice` names, kept inside it (or its centre), or
// desktop pixels as they are when the choice is empty. Nothing, and a line
// in the log naming `commandName`, when the choice names no monitor.
std::optional<platform::Point> ChosenPoint(const std::string& monitorChoice, MonitorSpot spot, std::int32_t x,
                                           std::int32_t y, const std::string& commandName);
void PlaceOnChosenMonitor(const ActiveMouseCommand& active, MonitorSpot spot);
