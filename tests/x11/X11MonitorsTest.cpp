// Monitors against a real X server (Xvfb, 1365x767): RandR's monitor list,
// including monitors declared on one output as `xrandr --setmonitor` does.
#include "platform/Platform.h"

// Before Xlib, whose macros (None, Bool) break GoogleTest's templates.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

std::string Describe(const std::vector<Monitor>& monitors) {
    std::string text;
    for (const Monitor& monitor : monitors) {
        text += std::to_string(monitor.width) + "x" + std::to_string(monitor.height) + "+" + std::to_string(monitor.x) +
                "+" + std::to_string(monitor.y) + (monitor.primary ? " primary" : "") + "; ";
    }
    return text;
}

// Splits the screen into two monitors for the life of the object: "left"
// holding the screen's output, "right" a virtual one, the primary.
class SplitScreen {
public:
    SplitScreen() : display(XOpenDisplay(nullptr)) {
        if (display == nullptr) return;
        const Window root = DefaultRootWindow(display);
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
        if (resources == nullptr || resources->noutput == 0) return;
        Declare("left", {0, 0, 682, 767}, resources->outputs[0], false);
        Declare("right", {682, 0, 683, 767}, 0, true);
        XRRFreeScreenResources(resources);
        XSync(display, False);
    }
    ~SplitScreen() {
        if (display == nullptr) return;
        for (const char* name : {"left", "right"}) {
            XRRDeleteMonitor(display, DefaultRootWindow(display), XInternAtom(display, name, False));
        }
        XCloseDisplay(display);
    }
    SplitScreen(const SplitScreen&) = delete;
    SplitScreen& operator=(const SplitScreen&) = delete;

private:
    void Declare(const char* name, const Monitor& area, RROutput output, bool primary) {
        XRRMonitorInfo* monitor = XRRAllocateMonitor(display, output != 0 ? 1 : 0);
        monitor->name = XInternAtom(display, name, False);
        monitor->primary = primary;
        monitor->x = area.x;
        monitor->y = area.y;
        monitor->width = area.width;
        monitor->height = area.height;
        monitor->mwidth = area.width / 4;
        monitor->mheight = area.height / 4;
        if (output != 0) monitor->outputs[0] = output;
        XRRSetMonitor(display, DefaultRootWindow(display), monitor);
        XRRFreeMonitors(monitor);
    }

    Display* display;
};

// Also run against a server without RandR, where the screen stands in.
TEST(X11Monitors, AnUndividedScreenIsOnePrimaryMonitor) {
    EXPECT_EQ(Describe(GetMonitors()), "1365x767+0+0 primary; ");
}

TEST(X11Monitors, DeclaredMonitorsComeInTheServersOrderWithTheirPrimary) {
    {
        SplitScreen split;
        // The server lists the primary first.
        EXPECT_EQ(Describe(GetMonitors()), "683x767+682+0 primary; 682x767+0+0; ");
    }
    EXPECT_EQ(Describe(GetMonitors()), "1365x767+0+0 primary; ") << "the split is undone";
}

}  // namespace
