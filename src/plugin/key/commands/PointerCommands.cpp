#include "plugin/key/commands/PointerCommands.h"

#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/ModifierScope.h"
#include "plugin/MonitorChoice.h"
#include "support/Log.h"

#include <vector>

using platform::InputEvent;
using platform::MouseButton;

namespace {

struct ButtonName {
    const char* name;
    MouseButton button;
};

const ButtonName kButtonNames[] = {
    {"", MouseButton::Left},        {"LEFT", MouseButton::Left}, {"MIDDLE", MouseButton::Middle},
    {"RIGHT", MouseButton::Right}, {"X1", MouseButton::X1},     {"X2", MouseButton::X2},
};

std::optional<platform::Point> TargetOf(const ActiveMouseCommand& active, MonitorSpot spot) {
    return ChosenPoint(active.monitor, spot, active.offsetX, active.offsetY, active.commandName);
}

}  // namespace

std::optional<platform::Point> ChosenPoint(const std::string& monitorChoice, MonitorSpot spot, std::int32_t x,
                                           std::int32_t y, const std::string& commandName) {
    if (monitorChoice.empty()) return platform::Point{x, y};
    const std::optional<platform::Monitor> monitor = FindChosenMonitor(monitorChoice);
    if (!monitor) {
        LogLine("No monitor \"" + EscapeControlCharacters(monitorChoice) + "\": " + commandName + " does nothing");
        return std::nullopt;
    }
    if (spot == MonitorSpot::Centre) {
        return platform::Point{monitor->x + monitor->width / 2, monitor->y + monitor->height / 2};
    }
    return KeepInside(static_cast<std::int64_t>(monitor->x) + x, static_cast<std::int64_t>(monitor->y) + y, *monitor);
}

std::optional<MouseButton> ParseButtonSetting(const std::string& text) {
    for (const ButtonName& name : kButtonNames) {
        if (text == name.name) return name.button;
    }
    return std::nullopt;
}

void ClickAt(const KeyPress& press, MouseButton) {
    const ActiveMouseCommand& active = press.active;
    const std::optional<MouseButton> button = ParseButtonSetting(active.button);
    if (!button) {
        LogLine("No button \"" + EscapeControlCharacters(active.button) + "\": MOUSE_CLICK_AT does nothing");
        return;
    }
    const std::optional<platform::Point> target = TargetOf(active, MonitorSpot::Offsets);
    if (!target) return;
    platform::Point before;
    const bool goBack = active.returnPointer && platform::GetCursorPos(before);
    std::vector<InputEvent> batch = {InputEvent::MoveTo(target->x, target->y), InputEvent::Down(*button),
                                     InputEvent::Up(*button)};
    if (goBack) batch.push_back(InputEvent::MoveTo(before.x, before.y));
    InjectWithModifiers(active.modifiers, batch);
}

void Nudge(const KeyPress& press, MouseButton) {
    InjectWithModifiers(press.active.modifiers, {InputEvent::MoveBy(press.active.offsetX, press.active.offsetY)});
}

void PlaceOnChosenMonitor(const ActiveMouseCommand& active, MonitorSpot spot) {
    if (const std::optional<platform::Point> target = TargetOf(active, spot)) {
        InjectWithModifiers(active.modifiers, {InputEvent::MoveTo(target->x, target->y)});
    }
}
