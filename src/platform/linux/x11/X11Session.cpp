#include "platform/linux/x11/X11Session.h"

#include "platform/Platform.h"
#include "platform/PlatformLog.h"
#include "platform/WheelNotches.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <iterator>
#include <string>
#include <type_traits>

namespace platform::x11 {
namespace {

// A wheel amount in the billions would otherwise become millions of X
// requests and stall the plugin; no real scroll needs more notches than this.
constexpr long long kMaxNotchesPerEvent = 10000;

// A stray protocol error (an X server whose pointer lacks button 9, say) must
// not end the plugin, which is what Xlib's default handler does.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// A connection that broke (the X server ended) ends the plugin: Xlib exits
// once this returns, and nothing could be injected anyway. The log says why.
int ReportDisplayGone(Display* display) {
    LogNote(std::string("The X display ") + DisplayString(display) + " is gone: the plugin ends");
    return 0;
}

}  // namespace

Session& Session::Get() {
    static Session* session = new Session();
    return *session;
}

Session::Session() {
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(ReportDisplayGone);
    display = XOpenDisplay(nullptr);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (display != nullptr && !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        display = nullptr;
    }
}

void SetButton(Display* display, unsigned int button, bool pressed) {
    XTestFakeButtonEvent(display, button, pressed ? True : False, CurrentTime);
}

void SetModifierKey(Session& session, ModifierKey key, bool pressed) {
    static constexpr KeySym kKeysyms[] = {XK_Control_L, XK_Shift_L, XK_Alt_L, XK_Super_L};
    static_assert(std::size(kKeysyms) == std::extent_v<decltype(Session::keyMissingReported)>,
                  "a keysym for each ModifierKey");
    const auto index = static_cast<std::size_t>(key);
    // Looked up at each key, without a round trip: Xlib answers from the
    // keymap it fetched once.
    const KeyCode keycode = XKeysymToKeycode(session.display, kKeysyms[index]);
    if (keycode == 0) {
        if (!session.keyMissingReported[index]) {
            LogNote(std::string("The X server's keymap has no ") + XKeysymToString(kKeysyms[index]) +
                    " key: mouse input goes without it");
        }
        session.keyMissingReported[index] = true;
        return;
    }
    XTestFakeKeyEvent(session.display, keycode, pressed ? True : False, CurrentTime);
}

void Scroll(Display* display, long long& remainder, std::int32_t amount, unsigned int positiveButton,
            unsigned int negativeButton) {
    const long long notches = TakeWholeNotches(remainder, amount);
    const unsigned int button = notches > 0 ? positiveButton : negativeButton;
    long long count = notches > 0 ? notches : -notches;
    if (count > kMaxNotchesPerEvent) count = kMaxNotchesPerEvent;
    for (long long i = 0; i < count; ++i) {
        SetButton(display, button, true);
        SetButton(display, button, false);
    }
}

}  // namespace platform::x11
