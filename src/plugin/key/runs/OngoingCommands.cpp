#include "plugin/key/runs/OngoingCommands.h"

#include "plugin/key/runs/ToggleLocks.h"

OngoingCommands::OngoingCommands(ToggleLocks& locks) : locks(locks) {}

bool OngoingCommands::ShowsHeld(const std::string& context) const {
    return locks.IsLocked(context) || runs.IsRunning(context, RunKind::AutoclickToggle) ||
           runs.IsRunning(context, RunKind::Jiggler);
}

bool OngoingCommands::EndedByPress(const std::string& context) {
    if (locks.ReleaseKey(context)) return true;
    return !runs.StopWhere([&](const KeyRun& run) {
                    return run.Context() == context && run.Kind() != RunKind::Held &&
                           run.Kind() != RunKind::HeldAutoclick;
                }).empty();
}

void OngoingCommands::KeyPressed(const std::string& context) {
    runs.StopWhere([&](const KeyRun& run) { return run.Kind() == RunKind::Held && run.Context() != context; });
}

void OngoingCommands::KeyGone(const std::string& context) {
    locks.ReleaseKey(context);
    runs.StopWhere([&](const KeyRun& run) { return run.Context() == context && run.Kind() != RunKind::Jiggler; });
}

bool OngoingCommands::CommandChanged(const std::string& context) {
    const bool lockEnded = locks.ReleaseKey(context);
    const bool runEnded = runs.StopKey(context);
    return lockEnded || runEnded;
}

void OngoingCommands::DeviceGone(const std::string& device) {
    locks.ReleaseDevice(device);
    runs.StopWhere([&](const KeyRun& run) { return run.Device() == device; });
}

void OngoingCommands::EndAll() { runs.StopAll(); }
