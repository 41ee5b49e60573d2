// Linux backend: injects through the XTest extension of the X display named by
// DISPLAY. Without a usable display every input call does nothing, so the
// plugin still runs and answers the host.
#include "platform/GrowingBuffer.h"
#include "platform/Platform.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include <mutex>

namespace platform {
namespace {

// X core buttons for what Windows calls left, middle, right, X1 and X2; the
// wheels are buttons too, one click per notch.
constexpr unsigned int kLeftButton = 1;
constexpr unsigned int kMiddleButton = 2;
constexpr unsigned int kRightButton = 3;
constexpr unsigned int kWheelForwardButton = 4;
constexpr unsigned int kWheelBackwardButton = 5;
constexpr unsigned int kWheelLeftButton = 6;
constexpr unsigned int kWheelRightButton = 7;
constexpr unsigned int kX1Button = 8;
constexpr unsigned int kX2Button = 9;

// A wheel amount in the billions would otherwise become millions of X
// requests and stall the plugin; no real scroll needs more notches than this.
constexpr long long kMaxNotchesPerEvent = 10000;

// A stray protocol error (an X server whose pointer lacks button 9, say) must
// not end the plugin, which is what Xlib's default handler does.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

class X11Session {
public:
    // The display is opened on first use, not at start-up, so registration
    // with the host never waits for the X server.
    static X11Session& Get() {
        static X11Session* session = new X11Session();
        return *session;
    }

    std::mutex mutex;  // Xlib is used from the event thread and the cursor worker
    Display* display = nullptr;
    long long verticalRemainder = 0;
    long long horizontalRemainder = 0;

private:
    X11Session() {
        XSetErrorHandler(IgnoreXError);
        display = XOpenDisplay(nullptr);
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        if (display != nullptr && !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
            XCloseDisplay(display);
            display = nullptr;
        }
    }
};

void Click(Display* display, unsigned int button) {
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
}

// Turns a signed amount into whole notches, keeping what is left of a notch
// for the next event of the same wheel, as a high-resolution wheel would.
void Scroll(Display* display, long long& remainder, std::int32_t amount, unsigned int positiveButton,
            unsigned int negativeButton) {
    remainder += amount;
    long long notches = remainder / WHEEL_DELTA;
    remainder -= notches * WHEEL_DELTA;
    const unsigned int button = notches > 0 ? positiveButton : negativeButton;
    long long count = notches > 0 ? notches : -notches;
    if (count > kMaxNotchesPerEvent) count = kMaxNotchesPerEvent;
    for (long long i = 0; i < count; ++i) Click(display, button);
}

void SetButton(Display* display, unsigned int button, bool pressed) {
    XTestFakeButtonEvent(display, button, pressed ? True : False, CurrentTime);
}

}  // namespace

void mouse_event(std::uint32_t flags, std::int32_t, std::int32_t, std::int32_t data, std::uintptr_t) {
    X11Session& session = X11Session::Get();
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
    X11Session& session = X11Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    if (session.display == nullptr) return false;
    // Motion through XTest, unlike a warp, reaches clients as device input.
    XTestFakeMotionEvent(session.display, DefaultScreen(session.display), x, y, CurrentTime);
    XSync(session.display, False);
    return true;
}

bool GetCursorPos(Point& point) {
    X11Session& session = X11Session::Get();
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

int GetSystemMetrics(int index) {
    X11Session& session = X11Session::Get();
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
