// Linux: the input calls, carried by the input path chosen on first use
// (X11, the wlroots virtual pointer or the desktop portal).
#include "platform/linux/InputPathChoice.h"
#include "platform/MouseEventFlags.h"
#include "platform/Platform.h"
#include "platform/PrimaryMonitorMetric.h"
#include "platform/linux/x11/X11Session.h"

#include <algorithm>

namespace platform {
namespace {

using linux_input::ChosenInputPath;
using linux_input::PathKind;

// Never destroyed: a key's thread may still be injecting while the process exits.
ChosenInputPath& Chosen() {
    static ChosenInputPath* chosen = new ChosenInputPath(linux_input::OpenChosenInputPath());
    return *chosen;
}

}  // namespace

void mouse_event(std::uint32_t flags, std::int32_t, std::int32_t, std::int32_t data, std::uintptr_t) {
    Chosen().path->Send(EventsOfMouseEvent(flags, data));
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
    return PrimaryMonitorMetric(chosen.path->Monitors(), index);
}

}  // namespace platform
