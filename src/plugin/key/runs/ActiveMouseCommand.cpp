#include "plugin/key/runs/ActiveMouseCommand.h"

#include "plugin/key/runs/HeldInputWorker.h"
#include "plugin/key/commands/JiggleToggle.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "support/Log.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <stdexcept>

namespace {

struct SharedCommand {
    std::mutex mutex;
    std::condition_variable changed;
    ActiveMouseCommand record;
    std::map<std::string, std::string> keysDown;  // context to device
};

// Never destroyed: the detached worker waits on it until the process ends.
SharedCommand& Shared() {
    static SharedCommand* shared = new SharedCommand();
    return *shared;
}

// Wakes the worker when it leaves scope, after the lock declared later is
// released.
struct NotifyOnExit {
    std::condition_variable& changed;
    ~NotifyOnExit() { changed.notify_all(); }
};

// "my_repeat_loops" counts the passes after the first; the largest count
// saturates rather than overflow.
std::int32_t PassCountOf(const std::string& repeatLoops) {
    const std::int32_t loops = SettingToInt(repeatLoops);
    if (loops <= 0) return 1;
    return loops < std::numeric_limits<std::int32_t>::max() ? loops + 1 : loops;
}

void StartHoldLocked(SharedCommand& shared) {
    shared.record.keyHeld = true;
    shared.record.firstStepMade = false;
    shared.record.endsAfterFirstStep = false;
    ++shared.record.pressNumber;
    shared.record.heldSince = std::chrono::steady_clock::now();
}

// A held command steps once before its hold ends, however short the tap.
void EndHoldLocked(SharedCommand& shared) {
    if (shared.record.keyHeld && IsHeldCommand(shared.record.commandName) && !shared.record.firstStepMade) {
        shared.record.endsAfterFirstStep = true;
        return;
    }
    shared.record.keyHeld = false;
}

// Only the key's own release ends its hold: a key that did nothing, its
// settings unreadable, must not stop another's.
void EndHoldOfLocked(SharedCommand& shared, const std::string& context) {
    if (shared.record.context == context) EndHoldLocked(shared);
}

bool GoesOnLocked(const SharedCommand& shared, const ActiveMouseCommand& seen) {
    return shared.record.keyHeld && shared.record.pressNumber == seen.pressNumber;
}

// A press with a modifier the plugin cannot hold would send a different
// command (a plain click for a Ctrl+click): it sends none.
Modifiers ModifiersOf(const ActionSettings& settings) {
    const ModifierSetting setting = ParseModifierSetting(settings.my_modifiers);
    if (!setting.unknownWord) return setting.keys;
    LogLine("No modifier key \"" + EscapeControlCharacters(*setting.unknownWord) + "\" in \"my_modifiers\": " +
            EscapeControlCharacters(settings.my_mouse_event) + " does nothing");
    throw std::invalid_argument("unknown modifier key");
}

// Converted aside first: nothing changes unless all of it converts.
ActiveMouseCommand Convert(const ActionSettings& settings, const std::string& context) {
    ActiveMouseCommand loaded;
    loaded.context = context;
    loaded.commandName = settings.my_mouse_event;
    loaded.offsetX = SettingToInt(settings.my_offset_x);
    loaded.offsetY = SettingToInt(settings.my_offset_y);
    // The jiggler's "my_sleep" counts seconds, and may be left empty.
    const bool defaultJiggle = settings.my_sleep.empty() && loaded.commandName == kJiggleCommand;
    loaded.pauseMs = defaultJiggle ? kJiggleDefaultSeconds : std::max(SettingToInt(settings.my_sleep), 0);
    loaded.wheelAmount = SettingToInt(settings.my_wheel);
    loaded.passCount = RunsPasses(loaded.commandName) ? PassCountOf(settings.my_repeat_loops) : 1;
    // Keys set up before these members existed leave them empty.
    loaded.accelPercent = settings.my_accel.empty() ? 0 : std::max(SettingToInt(settings.my_accel), 0);
    loaded.relative = settings.my_relative == "1";
    loaded.returnPointer = settings.my_return == "1";
    loaded.button = settings.my_button;
    loaded.monitor = settings.my_monitor;
    loaded.slot = settings.my_slot;
    loaded.steps = settings.steps;
    loaded.modifiers = ModifiersOf(settings);
    return loaded;
}

// The hold's state stays with the record; the command's members are replaced.
void ReplaceCommandLocked(SharedCommand& shared, ActiveMouseCommand loaded) {
    loaded.keyHeld = shared.record.keyHeld;
    loaded.firstStepMade = shared.record.firstStepMade;
    loaded.endsAfterFirstStep = shared.record.endsAfterFirstStep;
    loaded.pressNumber = shared.record.pressNumber;
    loaded.heldSince = shared.record.heldSince;
    shared.record = std::move(loaded);
}

// Converts first, so that settings that cannot run change nothing; then, in
// one step under the lock, replaces the command and, when asked, starts its
// hold: the worker never sees the new command on the hold of the key before.
void Load(const ActionSettings& settings, const std::string& context, bool startHold) {
    ActiveMouseCommand loaded = Convert(settings, context);
    SharedCommand& shared = Shared();
    const NotifyOnExit notify{shared.changed};
    std::lock_guard<std::mutex> guard(shared.mutex);
    ReplaceCommandLocked(shared, std::move(loaded));
    if (!startHold) return;
    StartHoldLocked(shared);
    if (shared.keysDown.count(context) == 0) EndHoldLocked(shared);
}

}  // namespace

void LoadActiveMouseCommand(const ActionSettings& settings, const std::string& context) {
    Load(settings, context, false);
}

void LoadAndStartHold(const ActionSettings& settings, const std::string& context) { Load(settings, context, true); }

void SetKeyHeld(bool held) {
    SharedCommand& shared = Shared();
    const NotifyOnExit notify{shared.changed};
    std::lock_guard<std::mutex> guard(shared.mutex);
    if (held) {
        StartHoldLocked(shared);
    } else {
        shared.record.keyHeld = false;
    }
}

void KeyWentDown(const std::string& context, const std::string& device) {
    SharedCommand& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.mutex);
    shared.keysDown[context] = device;
}

void KeyWentUp(const std::string& context) {
    SharedCommand& shared = Shared();
    const NotifyOnExit notify{shared.changed};
    std::lock_guard<std::mutex> guard(shared.mutex);
    shared.keysDown.erase(context);
    EndHoldOfLocked(shared, context);
}

void DeviceKeysWentUp(const std::string& device) {
    SharedCommand& shared = Shared();
    const NotifyOnExit notify{shared.changed};
    std::lock_guard<std::mutex> guard(shared.mutex);
    for (auto key = shared.keysDown.begin(); key != shared.keysDown.end();) {
        if (key->second == device) EndHoldOfLocked(shared, key->first);
        key = key->second == device ? shared.keysDown.erase(key) : std::next(key);
    }
}

void HeldStepTaken(const ActiveMouseCommand& seen) {
    SharedCommand& shared = Shared();
    const NotifyOnExit notify{shared.changed};
    std::lock_guard<std::mutex> guard(shared.mutex);
    if (shared.record.pressNumber != seen.pressNumber) return;
    shared.record.firstStepMade = true;
    if (shared.record.endsAfterFirstStep) shared.record.keyHeld = false;
}

ActiveMouseCommand GetActiveMouseCommand() {
    SharedCommand& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.mutex);
    return shared.record;
}

ActiveMouseCommand WaitForHeldCommand(bool (*wanted)(const std::string& commandName)) {
    SharedCommand& shared = Shared();
    std::unique_lock<std::mutex> lock(shared.mutex);
    shared.changed.wait(lock, [&] { return shared.record.keyHeld && wanted(shared.record.commandName); });
    return shared.record;
}

bool HoldGoesOn(const ActiveMouseCommand& seen) {
    SharedCommand& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.mutex);
    return GoesOnLocked(shared, seen);
}

bool WaitWhileHoldGoesOn(const ActiveMouseCommand& seen, int milliseconds) {
    SharedCommand& shared = Shared();
    // No timed wait for no time: some threading libraries round a timed
    // wait up to a scheduler tick, which would slow a held move's steps.
    if (milliseconds <= 0) return HoldGoesOn(seen);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    std::unique_lock<std::mutex> lock(shared.mutex);
    return shared.changed.wait_until(lock, deadline, [&] { return !GoesOnLocked(shared, seen); }) == false;
}
