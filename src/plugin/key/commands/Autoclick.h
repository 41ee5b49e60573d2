#pragma once

#include "platform/Platform.h"

#include <optional>

struct ActiveMouseCommand;

// Never more than 100 clicks a second, whatever "my_sleep" says.
constexpr int kShortestAutoclickPeriodMs = 10;

// What the autoclick keys click and how often: "my_button" as ParseButtonSetting
// reads it, every "my_sleep" ms, at least every kShortestAutoclickPeriodMs.
struct AutoclickRate {
    platform::MouseButton button;
    int periodMs;
};

// Nothing, and a line in the log, when "my_button" names no button.
std::optional<AutoclickRate> AutoclickRateOf(const ActiveMouseCommand& active);

int AutoclickPeriodMs(const ActiveMouseCommand& active);

// One click of the key's button where the pointer is, none when it names no
// button: its press and release in one batch, so that no click is ever cut
// in half, with the key's modifiers around it in that batch
// (InjectWithModifiers). They are held around each click rather than for
// the whole run: between clicks, which may be seconds apart and go on while
// the user works, the keyboard types as usual, and nothing is left down
// whenever the clicking stops.
void ClickOnce(const ActiveMouseCommand& active);
