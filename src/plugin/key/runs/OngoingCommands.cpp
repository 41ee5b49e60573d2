#include "plugin/key/runs/OngoingCommands.h"

#include "plugin/key/runs/ToggleLocks.h"

OngoingCommands::OngoingCommands(ToggleLocks& locks) : locks(locks) {}

bool OngoingCommands::ShowsHeld(const std::string& context) const {
    return locks.IsLocked(context) || autoclicks.IsRunning(context) || jiggler.IsRunning(context);
}

void OngoingCommands::KeyGone(const std::string& context) {
    locks.ReleaseKey(context);
    autoclicks.StopKey(context);
}

bool OngoingCommands::CommandChanged(const std::string& context) {
    const bool lockEnded = locks.ReleaseKey(context);
    const bool autoclickEnded = autoclicks.StopKey(context);
    const bool jiggleEnded = jiggler.StopKey(context);
    return lockEnded || autoclickEnded || jiggleEnded;
}

void OngoingCommands::DeviceGone(const std::string& device) {
    locks.ReleaseDevice(device);
    autoclicks.StopDevice(device);
    jiggler.StopDevice(device);
}

void OngoingCommands::EndAll() {
    autoclicks.StopAll();
    jiggler.StopAll();
}
