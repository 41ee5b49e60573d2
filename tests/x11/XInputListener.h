#pragma once

// A second X client that watches the input the server carries out, through
// XInput2 on the root window, and tells each event as a line of text:
//   "raw press 4", "raw release 4", "raw motion x=7 y=-3" (the device's own
//   values of the axes it reports: deltas for relative motion, the position
//   for absolute motion),
//   "press 1 at 300 200", "release 1 at 300 200", "motion 307 197" (where the
//   pointer was),
//   "raw key press Control_L", "raw key release Super_L" (the keysym the
//   keycode has unshifted).
// Include it after GoogleTest: Xlib's macros (None, Bool) break its templates.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>

#include <chrono>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

class XInputListener {
public:
    // `events`: the XI_ event types to watch.
    explicit XInputListener(std::initializer_list<int> events) : display(XOpenDisplay(nullptr)) {
        if (display == nullptr) return;
        int event = 0, error = 0;
        if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        for (const int type : events) XISetMask(bits, type);
        XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        XSync(display, False);
    }
    ~XInputListener() {
        if (display != nullptr) XCloseDisplay(display);
    }
    XInputListener(const XInputListener&) = delete;
    XInputListener& operator=(const XInputListener&) = delete;

    bool Ready() const { return display != nullptr && opcode != 0; }

    // Collects events until `count` have arrived or the deadline passes.
    std::vector<std::string> Collect(std::size_t count, std::chrono::milliseconds deadline) {
        std::vector<std::string> seen;
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (seen.size() < count) {
            if (XPending(display) == 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
                poll(&descriptor, 1, static_cast<int>(left.count()));
                continue;
            }
            XEvent event;
            XNextEvent(display, &event);
            XGenericEventCookie* cookie = &event.xcookie;
            if (cookie->type != GenericEvent || cookie->extension != opcode || !XGetEventData(display, cookie)) continue;
            seen.push_back(Describe(*cookie));
            XFreeEventData(display, cookie);
        }
        return seen;
    }

    // True when nothing more arrives for a short while.
    bool Quiet() { return Collect(1, std::chrono::milliseconds(30)).empty(); }

private:
    static std::string Number(double value) { return std::to_string(std::lround(value)); }

    std::string Describe(const XGenericEventCookie& cookie) const {
        switch (cookie.evtype) {
            case XI_RawKeyPress:
            case XI_RawKeyRelease: {
                const auto keycode = static_cast<KeyCode>(static_cast<const XIRawEvent*>(cookie.data)->detail);
                const char* name = XKeysymToString(XkbKeycodeToKeysym(display, keycode, 0, 0));
                return std::string(cookie.evtype == XI_RawKeyPress ? "raw key press " : "raw key release ") +
                       (name != nullptr ? name : "keycode " + std::to_string(keycode));
            }
            case XI_RawButtonPress:
            case XI_RawButtonRelease:
                return std::string(cookie.evtype == XI_RawButtonPress ? "raw press " : "raw release ") +
                       std::to_string(static_cast<const XIRawEvent*>(cookie.data)->detail);
            case XI_RawMotion: {
                const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
                std::string text = "raw motion";
                const double* value = raw->raw_values;
                for (int axis = 0; axis < raw->valuators.mask_len * 8; ++axis) {
                    if (!XIMaskIsSet(raw->valuators.mask, axis)) continue;
                    const std::string name = axis == 0 ? "x" : axis == 1 ? "y" : "axis" + std::to_string(axis);
                    text += ' ' + name + '=' + Number(*value++);
                }
                return text;
            }
            case XI_ButtonPress:
            case XI_ButtonRelease: {
                const auto* device = static_cast<const XIDeviceEvent*>(cookie.data);
                return std::string(cookie.evtype == XI_ButtonPress ? "press " : "release ") +
                       std::to_string(device->detail) + " at " + Number(device->root_x) + ' ' + Number(device->root_y);
            }
            case XI_Motion: {
                const auto* device = static_cast<const XIDeviceEvent*>(cookie.data);
                return "motion " + Number(device->root_x) + ' ' + Number(device->root_y);
            }
            default: return "event " + std::to_string(cookie.evtype);
        }
    }

    Display* display;
    int opcode = 0;
};

// What an XInputListener of raw button events sees of `count` clicks of an X button.
inline std::vector<std::string> RawClicks(int button, int count) {
    std::vector<std::string> clicks;
    for (int i = 0; i < count; ++i) {
        clicks.push_back("raw press " + std::to_string(button));
        clicks.push_back("raw release " + std::to_string(button));
    }
    return clicks;
}
