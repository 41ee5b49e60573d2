// Linux backend: injects through the XTest extension of the X display named by
// DISPLAY. Without a usable display every input call does nothing, so the
// plugin still runs and answers the host.
#include "platform/GrowingBuffer.h"
#include "platform/Platform.h"
#include "platform/X11Session.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

namespace platform {

using namespace x11;

void mouse_event(std::uint32_t flags, std::int32_t, std::int32_t, std::int32_t data, std::uintptr_t) {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    Display* display = session.display;
    if (display == nullptr) return;
    // The order in which Windows applies combined flags.
    if (flags & MOUSEEVENTF_LEFTDOWN) SetButton(display, kLeftButton, true);
    if (flags & MOUSEEVENTF_LEFTUP) SetButton(display, kLeftButton, false);
    if (flags & MOUSEEVENTF_RIGHTDOWN) SetButton(display, kRightButton, true);
    if (flags & MOUSEEVENTF_RIGHTUP) SetButton(display, kRightButton, false);
    if (flags & MOUSEEVENTF_MIDDLEDOWN) SetButton(display, kMiddleButton, true);
    if (flags & MOUSEEVENTF_MIDDLEUP) SetButton(display, kMiddleButton, false);
    for (const std::uint32_t xFlag : {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP}) {
        if (!(flags & xFlag)) continue;
        const bool pressed = xFlag == MOUSEEVENTF_XDOWN;
        if (data & XBUTTON1) SetButton(display, kX1Button, pressed);
        if (data & XBUTTON2) SetButton(display, kX2Button, pressed);
    }
    if (flags & MOUSEEVENTF_WHEEL) {
        Scroll(display, session.verticalRemainder, data, kWheelForwardButton, kWheelBackwardButton);
    }
    if (flags & MOUSEEVENTF_HWHEEL) {
        Scroll(display, session.horizontalRemainder, data, kWheelRightButton, kWheelLeftButton);
    }
    // Until the server has taken the events: a release sent just before the
    // plugin exits would otherwise be lost with the connection.
    XSync(display, False);
}

bool SetCursorPos(int x, int y) {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    if (session.display == nullptr) return false;
    // Motion through XTest, unlike a warp, reaches clients as device input.
    XTestFakeMotionEvent(session.display, DefaultScreen(session.display), x, y, CurrentTime);
    XSync(session.display, False);
    return true;
}

bool GetCursorPos(Point& point) {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    if (session.display == nullptr) return false;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(session.display, DefaultRootWindow(session.display), &root, &child, &rootX, &rootY,
                       &windowX, &windowY, &mask)) {
        return false;
    }
    point.x = rootX;
    point.y = rootY;
    return true;
}

// X toolkits keep their own double-click times, 400 ms by default in GTK and
// Qt; a second press within 100 ms of the first release pairs in all of them.
int GetDoubleClickTimeMs() { return 100; }

// X has no integrity levels: any client's input reaches every window.
bool IsForegroundWindowElevated() { return false; }

int GetSystemMetrics(int index) {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    if (session.display == nullptr) return 0;
    const int screen = DefaultScreen(session.display);
    if (index == SM_CXSCREEN) return DisplayWidth(session.display, screen);
    if (index == SM_CYSCREEN) return DisplayHeight(session.display, screen);
    return 0;
}

std::string GetExecutablePath() {
    return ReadIntoGrowingBuffer([](char* buffer, std::size_t size) {
        return static_cast<long long>(readlink("/proc/self/exe", buffer, size));
    });
}

}  // namespace platform
