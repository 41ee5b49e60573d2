#pragma once

#include "plugin/ActionSettings.h"
#include "plugin/ModifierSetting.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

// The command of the key pressed last: one record for the whole process,
// written by the key-command thread and read by the held-input worker. All
// access goes through the functions below, which copy under a lock. Beside
// it, the keys that are down as the connection last heard: a release ends
// its key's hold at once, however many presses are queued.
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
    bool keyHeld = false;
    // A held command's hold ends no sooner than its first step, so that a tap
    // steps once however short it was: whether that step was made, and
    // whether the key came up before it.
    bool firstStepMade = false;
    bool endsAfterFirstStep = false;
    // Counts the presses that set keyHeld; with heldSince, tells one hold from the next.
    std::uint64_t pressNumber = 0;
    std::chrono::steady_clock::time_point heldSince;
};

// Fills the record from the pressed key's settings, reading only the numbers
// its command uses ("my_repeat_loops" only where passes apply). When one of
// them does not convert, SettingToInt's error leaves the record as it was:
// a key whose settings cannot run touches nothing another key holds. So does
// a word of "my_modifiers" that names no key, after a line in the log that
// names it (std::invalid_argument). keyHeld is left alone.
void LoadActiveMouseCommand(const ActionSettings& settings, const std::string& context = {});

// Sets or clears keyHeld and wakes the worker. Setting it starts a new hold:
// pressNumber counts up and heldSince is now.
void SetKeyHeld(bool held);

// The connection heard the key go down or up. Up, or gone with its device,
// ends the key's hold at once if it is the key loaded last (after the first
// step of a held command that has not made one yet); a press of it still
// queued will find it up.
void KeyWentDown(const std::string& context, const std::string& device);
void KeyWentUp(const std::string& context);
void DeviceKeysWentUp(const std::string& device);

// A press as the key-command thread performs it: loads the key's settings
// as LoadActiveMouseCommand does and starts its hold as SetKeyHeld(true)
// does, in one step. When the key went up already (its release came while
// its press was queued), a held command's hold ends after its first step,
// any other's at once.
void LoadAndStartHold(const ActionSettings& settings, const std::string& context);

// The worker made a step of the hold `seen` was copied from: a hold whose
// key came up before it ends now.
void HeldStepTaken(const ActiveMouseCommand& seen);

ActiveMouseCommand GetActiveMouseCommand();

// Blocks until a key whose command satisfies `wanted` is held, then returns the record.
ActiveMouseCommand WaitForHeldCommand(bool (*wanted)(const std::string& commandName));

// True while the hold that `seen` was copied from goes on: the key is still
// held and no press came since.
bool HoldGoesOn(const ActiveMouseCommand& seen);

// Sleeps `milliseconds` or until that hold ends, whichever comes first,
// woken by the change itself; true when the time ran out with the hold on.
bool WaitWhileHoldGoesOn(const ActiveMouseCommand& seen, int milliseconds);
