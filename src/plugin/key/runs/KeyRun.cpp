#include "plugin/key/runs/KeyRun.h"

#include <utility>

namespace {

RunPointHook& Hook() {
    static RunPointHook hook;
    return hook;
}

}  // namespace

KeyRun::KeyRun(std::string context, std::string device, RunKind kind, ActiveMouseCommand command)
    : context(std::move(context)), device(std::move(device)), kind(kind), command(std::move(command)) {}

ActiveMouseCommand KeyRun::Command() const {
    std::lock_guard<std::mutex> guard(mutex);
    return command;
}

void KeyRun::Update(ActiveMouseCommand updated) {
    std::lock_guard<std::mutex> guard(mutex);
    command = std::move(updated);
}

void KeyRun::Reached(RunPoint point) const {
    if (Hook()) Hook()(*this, point);
}

void SetRunPointHook(RunPointHook hook) { Hook() = std::move(hook); }
