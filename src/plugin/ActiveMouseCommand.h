#pragma once

#include "plugin/ActionSettings.h"

#include <cstdint>
#include <string>

// The command of the key pressed last: one record for the whole process,
// written by the event thread and read by the cursor-move worker. All access
// goes through the functions below, which copy under a lock.
struct ActiveMouseCommand {
    std::string commandName;
    std::int32_t passCount = 0;
    std::int32_t pauseMs = 0;
    std::int32_t wheelAmount = 0;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    bool keyHeld = false;
};

// Fills the record from the pressed key's settings, one field at a time: when
// a number does not convert, SettingToInt's error leaves the fields before it
// changed and the rest as they were. keyHeld is left alone.
void LoadActiveMouseCommand(const ActionSettings& settings);

// Sets or clears keyHeld and wakes the worker.
void SetKeyHeld(bool held);

ActiveMouseCommand GetActiveMouseCommand();

// Blocks until a key whose command is `commandName` is held, then returns the record.
ActiveMouseCommand WaitForHeldCommand(const std::string& commandName);
