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

// Never destroyed: a key's thread may still be injecting while the process exits.
// Loaded at the first call, never earlier: the guardian is forked without
// exec, which macOS allows only for what the child inherits safely. At the
// fork the plugin has one thread and has loaded nothing beyond libSystem, so
// the child holds no lock of another thread and no state of CoreFoundation,
// CoreGraphics or the Objective-C runtime's classes, whose fork checks look
// at what was set up before the fork. When the guardian must release, it
// loads them itself, as a new single-threaded process would, with its own
// connection to the window server.
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
