#pragma once

#include "plugin/ActionSettings.h"
#include "plugin/ModifierSetting.h"

#include <cstdint>
#include <memory>
#include <string>

// The command of the key pressed last: one record for the whole process,
// written by the key-command thread and read by the commands it performs.
// All access goes through the functions below, which copy under a lock. A
// run that goes on after its press (KeyRun) keeps a record of its own.
struct ActiveMouseCommand {
    std::string context;  // the key whose press loaded it
    std::string commandName;
    std::int32_t passCount = 0;
    std::int32_t pauseMs = 0;  // "my_sleep": seconds for the jiggler
    std::int32_t wheelAmount = 0;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    // The newer members, as the commands that read them want them.
    std::int32_t accelPercent = 0;  // "my_accel", 0 when empty or negative
    bool relative = false;          // "my_relative" is "1"
    bool returnPointer = false;     // "my_return" is "1"
    std::string button;             // "my_button", as stored
    std::string monitor;            // "my_monitor", as stored
    std::string slot;               // "my_slot", as stored
    std::shared_ptr<const ParsedSteps> steps;  // "my_steps", parsed; null when empty
    Modifiers modifiers;            // "my_modifiers", none when empty
};

// The record of the key's settings, reading only the numbers its command
// uses ("my_repeat_loops" only where passes apply). Raises SettingToInt's
// error when one of them does not convert, and std::invalid_argument, after
// a line in the log that names it, for a word of "my_modifiers" that names
// no key.
ActiveMouseCommand ConvertActiveMouseCommand(const ActionSettings& settings, const std::string& context);

// Fills the record from the pressed key's settings as
// ConvertActiveMouseCommand reads them. When they do not convert, its error
// leaves the record as it was: a key whose settings cannot run touches
// nothing another key holds.
void LoadActiveMouseCommand(const ActionSettings& settings, const std::string& context = {});

ActiveMouseCommand GetActiveMouseCommand();
