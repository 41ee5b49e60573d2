#include "plugin/ModifierScope.h"

#include "plugin/HeldButtons.h"

#include <utility>

ModifierScope::ModifierScope(std::string holder, const Modifiers& modifiers, const std::string& device)
    : holder(std::move(holder)), held(!modifiers.empty()) {
    if (held) HeldInput().HoldModifiers(this->holder, modifiers, device);
}

ModifierScope::~ModifierScope() { End(); }

void ModifierScope::End() {
    if (!held) return;
    held = false;
    HeldInput().ReleaseModifiers(holder);
}

bool InjectWithModifiers(const Modifiers& modifiers, const std::vector<platform::InputEvent>& events) {
    return HeldInput().InjectAmid(modifiers, events);
}
