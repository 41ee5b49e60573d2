// Declares and removes RandR monitors on the X screen, for tests that need
// several monitors on one Xvfb screen (the server's own xrandr tool does not
// apply --setmonitor there):
//   deckmouse_x11_monitors set NAME WIDTHxHEIGHT+X+Y [primary] [output]
//   deckmouse_x11_monitors delete NAME...
// "primary" makes the monitor the primary one; "output" gives it the screen's
// first output, so that the output's own monitor makes way for it.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstring>

namespace {

int Set(Display* display, int argc, char** argv) {
    int width = 0, height = 0, x = 0, y = 0;
    if (argc < 4 || std::sscanf(argv[3], "%dx%d+%d+%d", &width, &height, &x, &y) != 4) {
        std::fprintf(stderr, "usage: set NAME WIDTHxHEIGHT+X+Y [primary] [output]\n");
        return 2;
    }
    bool primary = false, withOutput = false;
    for (int i = 4; i < argc; ++i) {
        primary = primary || std::strcmp(argv[i], "primary") == 0;
        withOutput = withOutput || std::strcmp(argv[i], "output") == 0;
    }
    const Window root = DefaultRootWindow(display);
    RROutput output = 0;
    if (withOutput) {
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
        if (resources != nullptr && resources->noutput > 0) output = resources->outputs[0];
        if (resources != nullptr) XRRFreeScreenResources(resources);
        if (output == 0) {
            std::fprintf(stderr, "the screen has no output\n");
            return 1;
        }
    }
    XRRMonitorInfo* monitor = XRRAllocateMonitor(display, output != 0 ? 1 : 0);
    monitor->name = XInternAtom(display, argv[2], False);
    monitor->primary = primary;
    monitor->x = x;
    monitor->y = y;
    monitor->width = width;
    monitor->height = height;
    // About 100 dots per inch; nothing here reads the size.
    monitor->mwidth = width / 4;
    monitor->mheight = height / 4;
    if (output != 0) monitor->outputs[0] = output;
    XRRSetMonitor(display, root, monitor);
    XRRFreeMonitors(monitor);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "set") != 0 && std::strcmp(argv[1], "delete") != 0)) {
        std::fprintf(stderr, "usage: %s set NAME WIDTHxHEIGHT+X+Y [primary] [output] | delete NAME...\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    int status = 0;
    if (std::strcmp(argv[1], "set") == 0) {
        status = Set(display, argc, argv);
    } else {
        for (int i = 2; i < argc; ++i) XRRDeleteMonitor(display, DefaultRootWindow(display), XInternAtom(display, argv[i], False));
    }
    XSync(display, False);
    XCloseDisplay(display);
    return status;
}
