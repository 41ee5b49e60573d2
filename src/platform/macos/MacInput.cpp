// macOS: the input calls as Quartz events, posted by the backend over the
// functions loaded from the system.
#include "platform/MouseEventFlags.h"
#include "platform/Platform.h"
#include "platform/PrimaryMonitorMetric.h"
#include "platform/macos/QuartzInput.h"
#include "platform/macos/QuartzLoader.h"

#include <chrono>

namespace platform {
namespace {

// Never destroyed: a worker may still be injecting while the process exits.
quartz::QuartzInput& Backend() {
    static quartz::QuartzInput* backend = new quartz::QuartzInput(quartz::LoadQuartzFunctions());
    return *backend;
}

bool Send(const std::vector<InputEvent>& events) {
    return Backend().Send(events, std::chrono::steady_clock::now());
}

}  // namespace

void mouse_event(std::uint32_t flags, std::int32_t, std::int32_t, std::int32_t data, std::uintptr_t) {
    Send(EventsOfMouseEvent(flags, data));
}

// A posted move moves the cursor; Quartz needs no warp for it.
bool SetCursorPos(int x, int y) { return Send({InputEvent::MoveTo(x, y)}); }

bool GetCursorPos(Point& point) { return Backend().ReadCursor(point); }

bool CanReadCursorPos() { return true; }

bool SendInputBatch(const std::vector<InputEvent>& events) { return Send(events); }

void EndWheelInput() { Backend().EndWheelInput(); }

std::vector<Monitor> GetMonitors() { return Backend().Monitors(); }

int GetSystemMetrics(int index) { return PrimaryMonitorMetric(Backend().Monitors(), index); }

int GetDoubleClickTimeMs() { return Backend().DoubleClickTimeMs(); }

}  // namespace platform
