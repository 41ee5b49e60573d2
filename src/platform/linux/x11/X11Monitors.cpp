// Linux: the monitors of the X screen, from RandR's monitor list (which also
// holds the monitors that `xrandr --setmonitor` declares), or the whole screen
// where the server has no such list.
#include "platform/Platform.h"
#include "platform/linux/x11/X11Session.h"

#include <X11/extensions/Xrandr.h>

namespace platform::x11 {
namespace {

// Monitor lists came with RandR 1.5; asking an older server is a protocol error.
bool HasMonitorList(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
           (major > 1 || (major == 1 && minor >= 5));
}

std::vector<Monitor> RandRMonitors(Display* display) {
    std::vector<Monitor> monitors;
    int count = 0;
    XRRMonitorInfo* list = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    if (list == nullptr) return monitors;
    for (int i = 0; i < count; ++i) {
        monitors.push_back({list[i].x, list[i].y, list[i].width, list[i].height, list[i].primary != 0});
    }
    XRRFreeMonitors(list);
    return monitors;
}

}  // namespace

std::vector<Monitor> Monitors() {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    Display* display = session.display;
    if (display == nullptr) return {};
    std::vector<Monitor> monitors;
    if (HasMonitorList(display)) monitors = RandRMonitors(display);
    if (monitors.empty()) {
        const int screen = DefaultScreen(display);
        monitors.push_back({0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen), true});
    }
    // Without a primary output X names no primary monitor; desktops then take
    // the first for it, and so does this list, which promises one.
    bool hasPrimary = false;
    for (const Monitor& monitor : monitors) hasPrimary = hasPrimary || monitor.primary;
    if (!hasPrimary) monitors.front().primary = true;
    return monitors;
}

}  // namespace platform::x11
