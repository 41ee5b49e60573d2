#pragma once

#include "plugin/ActionSettings.h"

#include <chrono>
#include <cstdint>
#include <string>

// The command of the key pressed last: one record for the whole process,
// written by the key-command thread and read by the held-input worker. All
// access goes through the functions below, which copy under a lock.
struct ActiveMouseCommand {
    std::string commandName;
    std::int32_t passCount = 0;
    std::int32_t pauseMs = 0;
    std::int32_t wheelAmount = 0;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    // The newer members, as the commands that read them want them.
    std::int32_t accelPercent = 0;  // "my_accel", 0 when empty or negative
    bool relative = false;          // "my_relative" is "1"
    bool returnPointer = false;     // "my_return" is "1"
    std::string button;             // "my_button", as stored
    std::string monitor;            // "my_monitor", as stored
    bool keyHeld = false;
    // Counts the presses that set keyHeld; with heldSince, tells one hold from the next.
    std::uint64_t pressNumber = 0;
    std::chrono::steady_clock::time_point heldSince;
};

// Fills the record from the pressed key's settings, one field at a time: when
// a number does not convert, SettingToInt's error leaves the fields before it
// changed and the rest as they were. keyHeld is left alone.
void LoadActiveMouseCommand(const ActionSettings& settings);

// Sets or clears keyHeld and wakes the worker. Setting it starts a new hold:
// pressNumber counts up and heldSince is now.
void SetKeyHeld(bool held);

ActiveMouseCommand GetActiveMouseCommand();

// Blocks until a key whose command satisfies `wanted` is held, then returns the record.
ActiveMouseCommand WaitForHeldCommand(bool (*wanted)(const std::string& commandName));

// True while the hold that `seen` was copied from goes on: the key is still
// held and no press came since.
bool HoldGoesOn(const ActiveMouseCommand& seen);
