#include "plugin/key/ActiveMouseCommand.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace {

struct SharedCommand {
    std::mutex mutex;
    std::condition_variable changed;
    ActiveMouseCommand record;
};

// Never destroyed: the detached worker waits on it until the process ends.
SharedCommand& Shared() {
    static SharedCommand* shared = new SharedCommand();
    return *shared;
}

// Wakes the worker when it leaves scope, after the lock declared later is
// released, also when a conversion fails half way.
struct NotifyOnExit {
    std::condition_variable& changed;
    ~NotifyOnExit() { changed.notify_all(); }
};

}  // namespace

void LoadActiveMouseCommand(const ActionSettings& settings) {
    SharedCommand& shared = Shared();
    const NotifyOnExit notify{shared.changed};
    std::lock_guard<std::mutex> guard(shared.mutex);
    ActiveMouseCommand& record = shared.record;
    record.commandName = settings.my_mouse_event;
    record.offsetX = SettingToInt(settings.my_offset_x);
    record.offsetY = SettingToInt(settings.my_offset_y);
    record.pauseMs = SettingToInt(settings.my_sleep);
    record.wheelAmount = SettingToInt(settings.my_wheel);
    record.passCount = SettingToInt(settings.my_repeat_loops);
    if (record.pauseMs < 0) record.pauseMs = 0;
    // "my_repeat_loops" counts the passes after the first; the largest count
    // saturates rather than overflow.
    if (record.passCount <= 0) {
        record.passCount = 1;
    } else if (record.passCount < std::numeric_limits<std::int32_t>::max()) {
        record.passCount += 1;
    }
    // Keys set up before these members existed leave them empty.
    record.accelPercent = settings.my_accel.empty() ? 0 : std::max(SettingToInt(settings.my_accel), 0);
    record.relative = settings.my_relative == "1";
    record.returnPointer = settings.my_return == "1";
    record.button = settings.my_button;
    record.monitor = settings.my_monitor;
}

void SetKeyHeld(bool held) {
    SharedCommand& shared = Shared();
    const NotifyOnExit notify{shared.changed};
    std::lock_guard<std::mutex> guard(shared.mutex);
    shared.record.keyHeld = held;
    if (!held) return;
    ++shared.record.pressNumber;
    shared.record.heldSince = std::chrono::steady_clock::now();
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
    return shared.record.keyHeld && shared.record.pressNumber == seen.pressNumber;
}
