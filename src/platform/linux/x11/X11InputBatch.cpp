// Linux: input batches as one run of XTest requests. Xlib holds them until the
// single XSync at the end, which sends them in one write and waits until the
// server has carried them out, in order and back to back.
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

void Inject(Session& session, const InputEvent& event) {
    Display* display = session.display;
    switch (event.kind) {
        case InputEvent::Kind::MoveAbsolute:
            // Root coordinates span every monitor of the screen.
            XTestFakeMotionEvent(display, DefaultScreen(display), event.x, event.y, CurrentTime);
            break;
        case InputEvent::Kind::MoveRelative:
            XTestFakeRelativeMotionEvent(display, event.x, event.y, CurrentTime);
            break;
        case InputEvent::Kind::ButtonDown:
        case InputEvent::Kind::ButtonUp:
            SetButton(display, XButtonOf(event.button), event.kind == InputEvent::Kind::ButtonDown);
            break;
        case InputEvent::Kind::Wheel:
            Scroll(display, session.verticalRemainder, event.amount, kWheelForwardButton, kWheelBackwardButton);
            break;
        case InputEvent::Kind::HWheel:
            Scroll(display, session.horizontalRemainder, event.amount, kWheelRightButton, kWheelLeftButton);
            break;
    }
}

}  // namespace

bool SendBatch(const std::vector<InputEvent>& events) {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    if (session.display == nullptr) return false;
    for (const InputEvent& event : events) Inject(session, event);
    XSync(session.display, False);
    return true;
}

}  // namespace platform::x11
