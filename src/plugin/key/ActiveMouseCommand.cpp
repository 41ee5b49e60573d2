#include "plugin/key/ActiveMouseCommand.h"

#include "plugin/key/commands/JiggleToggle.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "support/Log.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <stdexcept>

namespace {

struct SharedCommand {
    std::mutex mutex;
    ActiveMouseCommand record;
};

// Never destroyed: a command may still read it while the process exits.
SharedCommand& Shared() {
    static SharedCommand* shared = new SharedCommand();
    return *shared;
}

// "my_repeat_loops" counts the passes after the first; the largest count
// saturates rather than overflow.
std::int32_t PassCountOf(const std::string& repeatLoops) {
    const std::int32_t loops = SettingToInt(repeatLoops);
    if (loops <= 0) return 1;
    return loops < std::numeric_limits<std::int32_t>::max() ? loops + 1 : loops;
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

}  // namespace

ActiveMouseCommand ConvertActiveMouseCommand(const ActionSettings& settings, const std::string& context) {
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

void LoadActiveMouseCommand(const ActionSettings& settings, const std::string& context) {
    // Converted aside first: nothing changes unless all of it converts.
    ActiveMouseCommand loaded = ConvertActiveMouseCommand(settings, context);
    SharedCommand& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.mutex);
    shared.record = std::move(loaded);
}

ActiveMouseCommand GetActiveMouseCommand() {
    SharedCommand& shared = Shared();
    std::lock_guard<std::mutex> guard(shared.mutex);
    return shared.record;
}
