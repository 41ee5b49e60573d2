// Linux: input batches as one run of XTest requests, keys and buttons alike.
// Xlib holds them until the single XSync at the end, which sends them in one write and waits until the
// server has carried them out, in order and back to back.
#include "platform/DesktopBounds.h"
#include "platform/Platform.h"
#include "platform/linux/x11/X11Session.h"

#include <X11/extensions/XTest.h>

namespace platform::x11 {
namespace {

unsigned int XButtonOf(MouseButton button) {
    switch (button) {
        case MouseButton::Middle: return kMiddleButton;
        case MouseButton::Right: return kRightButton;
        case MouseButton::X1: return kX1Button;
        case MouseButton::X2: return kX2Button;
        case MouseButton::Left: break;
    }
    return kLeftButton;
}

// The root window spans every monitor of the screen. The protocol carries
// 16 bits of a position or step, so one off the screen would wrap round.
DesktopRect RootWindowOf(Display* display) {
    const int screen = DefaultScreen(display);
    return {0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

void Inject(Session& session, const InputEvent& event) {
    Display* display = session.display;
    switch (event.kind) {
        case InputEvent::Kind::MoveAbsolute: {
            const Point at = ClampToDesktop(RootWindowOf(display), event.x, event.y);
            XTestFakeMotionEvent(display, DefaultScreen(display), at.x, at.y, CurrentTime);
            break;
        }
        case InputEvent::Kind::MoveRelative: {
            const Point step = ClampStepToDesktop(RootWindowOf(display), event.x, event.y);
            XTestFakeRelativeMotionEvent(display, step.x, step.y, CurrentTime);
            break;
        }
        case InputEvent::Kind::ButtonDown:
        case InputEvent::Kind::ButtonUp:
            SetButton(display, XButtonOf(event.button), event.kind == InputEvent::Kind::ButtonDown);
            break;
        case InputEvent::Kind::Wheel:
            Scroll(display, session.remainders.vertical, event.amount, kWheelForwardButton, kWheelBackwardButton);
            break;
        case InputEvent::Kind::HWheel:
            Scroll(display, session.remainders.horizontal, event.amount, kWheelRightButton, kWheelLeftButton);
            break;
        case InputEvent::Kind::KeyDown:
        case InputEvent::Kind::KeyUp:
            SetModifierKey(session, event.key, event.kind == InputEvent::Kind::KeyDown);
            break;
    }
}

}  // namespace

void EndWheelInput() {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    session.remainders = {};
}

bool SendBatch(const std::vector<InputEvent>& events) {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    if (session.display == nullptr) return false;
    for (const InputEvent& event : events) Inject(session, event);
    XSync(session.display, False);
    return true;
}

}  // namespace platform::x11
