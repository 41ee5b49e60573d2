// Linux: input through the XTest extension of the X display named by DISPLAY.
// Without a usable display every call does nothing, so the plugin still runs
// and answers the host.
#include "platform/linux/x11/X11InputPath.h"
#include "platform/linux/x11/X11Session.h"

namespace platform {
namespace x11 {

bool ReadPointer(Point& point) {
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

int ScreenMetric(int index) {
    Session& session = Session::Get();
    std::lock_guard<std::mutex> guard(session.mutex);
    if (session.display == nullptr) return 0;
    const int screen = DefaultScreen(session.display);
    if (index == SM_CXSCREEN) return DisplayWidth(session.display, screen);
    if (index == SM_CYSCREEN) return DisplayHeight(session.display, screen);
    return 0;
}

}  // namespace x11

namespace linux_input {
namespace {

class X11InputPath : public InputPath {
public:
    const char* Name() const override { return "x11"; }
    // Each batch ends with an XSync: a release sent just before the plugin
    // exits would otherwise be lost with the connection.
    bool Send(const std::vector<InputEvent>& events) override { return x11::SendBatch(events); }
    void EndWheelInput() override { x11::EndWheelInput(); }
    // Root coordinates span every monitor of the screen.
    bool CanPlaceAbsolutely() const override { return true; }
    bool ReadPointer(Point& point) override { return x11::ReadPointer(point); }
    std::vector<Monitor> Monitors() override { return x11::Monitors(); }
};

}  // namespace

std::unique_ptr<InputPath> OpenX11InputPath() { return std::make_unique<X11InputPath>(); }

}  // namespace linux_input
}  // namespace platform
