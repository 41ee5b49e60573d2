// Linux: the input calls, carried by the input path chosen on first use
// (X11, the wlroots virtual pointer or the desktop portal).
#include "platform/linux/InputPathChoice.h"
#include "platform/Platform.h"
#include "platform/linux/x11/X11Session.h"

#include <algorithm>

namespace platform {
namespace {

using linux_input::ChosenInputPath;
using linux_input::PathKind;

// Never destroyed: a worker may still be injecting while the process exits.
ChosenInputPath& Chosen() {
    static ChosenInputPath* chosen = new ChosenInputPath(linux_input::OpenChosenInputPath());
    return *chosen;
}

// mouse_event's flags as events, in the order in which Windows applies them.
std::vector<InputEvent> EventsOf(std::uint32_t flags, std::int32_t data) {
    std::vector<InputEvent> events;
    const auto button = [&](std::uint32_t down, std::uint32_t up, MouseButton which) {
        if (flags & down) events.push_back(InputEvent::Down(which));
        if (flags & up) events.push_back(InputEvent::Up(which));
    };
    button(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MouseButton::Left);
    button(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, MouseButton::Right);
    button(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, MouseButton::Middle);
    for (const std::uint32_t xFlag : {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP}) {
        if (!(flags & xFlag)) continue;
        const auto make = xFlag == MOUSEEVENTF_XDOWN ? InputEvent::Down : InputEvent::Up;
        if (data & XBUTTON1) events.push_back(make(MouseButton::X1));
        if (data & XBUTTON2) events.push_back(make(MouseButton::X2));
    }
    if (flags & MOUSEEVENTF_WHEEL) events.push_back(InputEvent::Wheel(data));
    if (flags & MOUSEEVENTF_HWHEEL) events.push_back(InputEvent::HWheel(data));
    return events;
}

}  // namespace

void mouse_event(std::uint32_t flags, std::int32_t, std::int32_t, std::int32_t data, std::uintptr_t) {
    Chosen().path->Send(EventsOf(flags, data));
}

bool SetCursorPos(int x, int y) { return Chosen().path->Send({InputEvent::MoveTo(x, y)}); }

bool GetCursorPos(Point& point) { return Chosen().path->ReadPointer(point); }

bool CanReadCursorPos() { return Chosen().kind == PathKind::X11; }

bool SendInputBatch(const std::vector<InputEvent>& events) {
    ChosenInputPath& chosen = Chosen();
    const auto placement = std::find_if(events.begin(), events.end(), [](const InputEvent& event) {
        return event.kind == InputEvent::Kind::MoveAbsolute;
    });
    // A click meant for a pixel that the path cannot reach would land wherever
    // the pointer happens to be: such a batch is refused whole, and the path
    // is handed its placement alone, to say why.
    if (placement != events.end() && !chosen.path->CanPlaceAbsolutely()) {
        chosen.path->Send({*placement});
        return false;
    }
    return chosen.path->Send(events);
}

void EndWheelInput() { Chosen().path->EndWheelInput(); }

std::vector<Monitor> GetMonitors() { return Chosen().path->Monitors(); }

int GetSystemMetrics(int index) {
    ChosenInputPath& chosen = Chosen();
    // X11 has always answered with its whole screen.
    if (chosen.kind == PathKind::X11) return x11::ScreenMetric(index);
    const std::vector<Monitor> monitors = chosen.path->Monitors();
    const auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    if (primary == monitors.end()) return 0;
    if (index == SM_CXSCREEN) return primary->width;
    if (index == SM_CYSCREEN) return primary->height;
    return 0;
}

}  // namespace platform
