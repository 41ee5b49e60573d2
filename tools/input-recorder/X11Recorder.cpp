// Prints every pointer and key event that reaches the X server, from XInput2
// raw events on the root window, one JSON object per line, in the order the
// server carried them out:
//   {"ready":true}                                   once it is listening
//   {"kind":"button","button":"left","down":true,"time":12.5}
//   {"kind":"wheel","axis":"vertical","amount":120,"time":...}   one per notch
//   {"kind":"move","x":10,"y":20,"time":...}
//   {"kind":"key","keysym":"Control_L","keycode":37,"down":true,"time":...}
// A key's keysym is the one its keycode has unshifted in the server's
// keymap ("NoSymbol" where it has none).
// "time" is milliseconds on the monotonic clock. Runs until killed.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstdio>
#include <ctime>

namespace {

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

void PrintButton(int button, bool down) {
    // X buttons: 1 left, 2 middle, 3 right, 4/5 wheel forward/backward,
    // 6/7 wheel left/right, 8/9 the extra buttons.
    static const char* const names[] = {"", "left", "middle", "right", "", "", "", "", "x1", "x2"};
    const double time = NowMs();
    if (button >= 4 && button <= 7) {
        if (down) {
            std::printf("{\"kind\":\"wheel\",\"axis\":\"%s\",\"amount\":%d,\"time\":%.3f}\n",
                        button <= 5 ? "vertical" : "horizontal", button == 4 || button == 7 ? 120 : -120, time);
        }
    } else if (button >= 1 && button <= 9) {
        std::printf("{\"kind\":\"button\",\"button\":\"%s\",\"down\":%s,\"time\":%.3f}\n", names[button],
                    down ? "true" : "false", time);
    }
}

void PrintKey(Display* display, int keycode, bool down) {
    const KeySym keysym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), 0, 0);
    const char* name = keysym == NoSymbol ? nullptr : XKeysymToString(keysym);
    std::printf("{\"kind\":\"key\",\"keysym\":\"%s\",\"keycode\":%d,\"down\":%s,\"time\":%.3f}\n",
                name != nullptr ? name : "NoSymbol", keycode, down ? "true" : "false", NowMs());
}

}  // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) {
        std::fprintf(stderr, "the X server has no XInput extension\n");
        return 1;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XISetMask(bits, XI_RawMotion);
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    const Window root = DefaultRootWindow(display);
    XISelectEvents(display, root, &mask, 1);
    XSync(display, False);
    std::printf("{\"ready\":true}\n");
    std::fflush(stdout);

    for (;;) {
        XEvent next;
        XNextEvent(display, &next);
        XGenericEventCookie* cookie = &next.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != opcode || !XGetEventData(display, cookie)) continue;
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        if (cookie->evtype == XI_RawMotion) {
            Window rootReturn = 0, child = 0;
            int x = 0, y = 0, windowX = 0, windowY = 0;
            unsigned int buttons = 0;
            XQueryPointer(display, root, &rootReturn, &child, &x, &y, &windowX, &windowY, &buttons);
            std::printf("{\"kind\":\"move\",\"x\":%d,\"y\":%d,\"time\":%.3f}\n", x, y, NowMs());
        } else if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            PrintKey(display, raw->detail, cookie->evtype == XI_RawKeyPress);
        } else {
            PrintButton(raw->detail, cookie->evtype == XI_RawButtonPress);
        }
        std::fflush(stdout);
        XFreeEventData(display, cookie);
    }
}
