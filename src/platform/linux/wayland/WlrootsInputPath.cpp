// Linux, wlroots compositors (sway, Hyprland, labwc, river, Wayfire...): input
// through a virtual pointer, which the compositor treats as one more mouse,
// and modifier keys through a virtual keyboard beside it.
// No Wayland client can read where the pointer is; absolute moves are made
// over the output layout, learnt from the outputs and their xdg-output
// extents.
#include "platform/linux/wayland/WlrootsInputPath.h"

#include "platform/DesktopBounds.h"
#include "platform/linux/EvdevButton.h"
#include "platform/linux/wayland/OutputLayout.h"
#include "platform/linux/wayland/VirtualKeyboard.h"
#include "platform/linux/wayland/WaylandClientLibrary.h"
#include "platform/PlatformLog.h"
#include "platform/WheelNotches.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>

namespace platform::linux_input {
namespace {

// A wheel notch, in the units of wl_pointer's axis events: what libinput
// reports for one click of a mouse wheel.
constexpr double kAxisPerNotch = 15.0;
// wl_fixed_t holds 23 bits before its point.
constexpr double kLargestAxisValue = 8000000.0;

struct Output {
    std::uint32_t globalName = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    // Where it lies in the compositor's layout, in logical pixels: from
    // xdg-output where the compositor has it, else its mode and scale.
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    std::int32_t modeWidth = 0, modeHeight = 0, scale = 1;
    bool logical = false;
};

class WlrootsInputPath : public InputPath {
public:
    ~WlrootsInputPath() override;

    // Connects and makes the virtual pointer; false when that cannot be done.
    bool Open();

    const char* Name() const override { return "wlroots"; }
    bool Send(const std::vector<InputEvent>& events) override;
    void EndWheelInput() override {
        std::lock_guard<std::mutex> guard(mutex);
        remainders = {};
    }
    bool CanPlaceAbsolutely() const override { return true; }
    bool ReadPointer(Point&) override { return false; }
    std::vector<Monitor> Monitors() override;

    // The registry's listener.
    static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void GlobalRemove(void* data, wl_registry* registry, std::uint32_t name);

private:
    void WatchOutput(Output& output);
    std::vector<Monitor> MonitorsLocked() const;
    bool Inject(const InputEvent& event, std::uint32_t time);
    void Scroll(long long& remainder, std::int32_t amount, std::uint32_t axis, double sign, std::uint32_t time);

    std::mutex mutex;  // the event thread and the keys' threads all inject
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
    zxdg_output_manager_v1* xdgOutputManager = nullptr;
    zwlr_virtual_pointer_v1* pointer = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    // Made with the path; destroyed before the connection closes.
    std::unique_ptr<VirtualKeyboard> keyboard = std::make_unique<VirtualKeyboard>();
    WheelRemainders remainders;
};

const wl_registry_listener kRegistryListener = {WlrootsInputPath::Global, WlrootsInputPath::GlobalRemove};

const wl_output_listener kOutputListener = {
    [](void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t,
       const char*, const char*, std::int32_t) {
        auto* output = static_cast<Output*>(data);
        if (output->logical) return;
        output->x = x;
        output->y = y;
    },
    [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
        auto* output = static_cast<Output*>(data);
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        output->modeWidth = width;
        output->modeHeight = height;
    },
    [](void* data, wl_output*) {
        auto* output = static_cast<Output*>(data);
        if (output->logical) return;
        const std::int32_t scale = std::max(output->scale, 1);
        output->width = output->modeWidth / scale;
        output->height = output->modeHeight / scale;
    },
    [](void* data, wl_output*, std::int32_t factor) { static_cast<Output*>(data)->scale = factor; },
    [](void*, wl_output*, const char*) {},
    [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener = {
    [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
        auto* output = static_cast<Output*>(data);
        output->logical = true;
        output->x = x;
        output->y = y;
    },
    [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
        auto* output = static_cast<Output*>(data);
        output->logical = true;
        output->width = width;
        output->height = height;
    },
    [](void*, zxdg_output_v1*) {},
    [](void*, zxdg_output_v1*, const char*) {},
    [](void*, zxdg_output_v1*, const char*) {},
};

std::uint32_t NowMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

WlrootsInputPath::~WlrootsInputPath() {
    for (const auto& output : outputs) {
        if (output->xdgOutput != nullptr) zxdg_output_v1_destroy(output->xdgOutput);
        wl_output_destroy(output->output);
    }
    keyboard.reset();
    if (pointer != nullptr) zwlr_virtual_pointer_v1_destroy(pointer);
    if (manager != nullptr) zwlr_virtual_pointer_manager_v1_destroy(manager);
    if (xdgOutputManager != nullptr) zxdg_output_manager_v1_destroy(xdgOutputManager);
    if (seat != nullptr) wl_seat_destroy(seat);
    if (registry != nullptr) wl_registry_destroy(registry);
    if (display != nullptr) wl_display_disconnect(display);
}

void WlrootsInputPath::Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                              std::uint32_t version) {
    auto* self = static_cast<WlrootsInputPath*>(data);
    if (self->keyboard->Offered(registry, name, interface)) return;
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0 && self->manager == nullptr) {
        self->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat == nullptr) {
        self->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && self->xdgOutputManager == nullptr) {
        self->xdgOutputManager = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min<std::uint32_t>(version, 3)));
        for (const auto& output : self->outputs) self->WatchOutput(*output);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->globalName = name;
        output->output = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min<std::uint32_t>(version, 2)));
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        self->WatchOutput(*output);
        self->outputs.push_back(std::move(output));
    }
}

void WlrootsInputPath::GlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* self = static_cast<WlrootsInputPath*>(data);
    auto& outputs = self->outputs;
    const auto gone = std::find_if(outputs.begin(), outputs.end(), [&](const auto& o) { return o->globalName == name; });
    if (gone == outputs.end()) return;
    if ((*gone)->xdgOutput != nullptr) zxdg_output_v1_destroy((*gone)->xdgOutput);
    wl_output_destroy((*gone)->output);
    outputs.erase(gone);
}

void WlrootsInputPath::WatchOutput(Output& output) {
    if (xdgOutputManager == nullptr || output.xdgOutput != nullptr) return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
}

bool WlrootsInputPath::Open() {
    display = wl_display_connect(nullptr);
    if (display == nullptr) return false;
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, this);
    // The globals, then what the outputs say of themselves.
    if (wl_display_roundtrip(display) < 0 || manager == nullptr) return false;
    if (wl_display_roundtrip(display) < 0) return false;
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    return wl_display_roundtrip(display) >= 0;
}

std::vector<Monitor> WlrootsInputPath::MonitorsLocked() const {
    std::vector<LayoutRect> layout;
    for (const auto& output : outputs) layout.push_back({output->x, output->y, output->width, output->height});
    return DesktopMonitors(layout);
}

std::vector<Monitor> WlrootsInputPath::Monitors() {
    std::lock_guard<std::mutex> guard(mutex);
    wl_display_roundtrip(display);  // outputs come and go
    return MonitorsLocked();
}

void WlrootsInputPath::Scroll(long long& remainder, std::int32_t amount, std::uint32_t axis, double sign,
                              std::uint32_t time) {
    // Whole notches go as discrete steps with the smooth length beside
    // them; what is left of a notch waits for the next event of the wheel.
    const long long notches = TakeWholeNotches(remainder, amount);
    const double length = std::clamp(sign * amount * kAxisPerNotch / WHEEL_DELTA, -kLargestAxisValue, kLargestAxisValue);
    zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
    const long long discrete = std::clamp<long long>(static_cast<long long>(sign) * notches,
                                                     std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max());
    if (discrete != 0) {
        zwlr_virtual_pointer_v1_axis_discrete(pointer, time, axis, wl_fixed_from_double(length),
                                              static_cast<std::int32_t>(discrete));
    } else {
        zwlr_virtual_pointer_v1_axis(pointer, time, axis, wl_fixed_from_double(length));
    }
}

bool WlrootsInputPath::Inject(const InputEvent& event, std::uint32_t time) {
    switch (event.kind) {
        case InputEvent::Kind::MoveAbsolute: {
            const std::optional<AbsoluteMotion> motion = AbsoluteMotionTo(MonitorsLocked(), event.x, event.y);
            if (!motion) return false;
            zwlr_virtual_pointer_v1_motion_absolute(pointer, time, motion->x, motion->y, motion->xExtent,
                                                    motion->yExtent);
            break;
        }
        case InputEvent::Kind::MoveRelative: {
            // wl_fixed_t holds 23 bits before its point: a longer step would wrap.
            const std::optional<DesktopRect> desktop = DesktopOf(MonitorsLocked());
            const Point step = desktop ? ClampStepToDesktop(*desktop, event.x, event.y) : Point{event.x, event.y};
            zwlr_virtual_pointer_v1_motion(pointer, time, wl_fixed_from_int(step.x), wl_fixed_from_int(step.y));
            break;
        }
        case InputEvent::Kind::ButtonDown:
        case InputEvent::Kind::ButtonUp:
            zwlr_virtual_pointer_v1_button(pointer, time, EvdevButtonOf(event.button),
                                           event.kind == InputEvent::Kind::ButtonDown ? WL_POINTER_BUTTON_STATE_PRESSED
                                                                                      : WL_POINTER_BUTTON_STATE_RELEASED);
            break;
        // Windows turns the wheel up with positive amounts, Wayland down.
        case InputEvent::Kind::Wheel:
            Scroll(remainders.vertical, event.amount, WL_POINTER_AXIS_VERTICAL_SCROLL, -1.0, time);
            break;
        case InputEvent::Kind::HWheel:
            Scroll(remainders.horizontal, event.amount, WL_POINTER_AXIS_HORIZONTAL_SCROLL, 1.0, time);
            break;
        // No frame: that ends a pointer event.
        case InputEvent::Kind::KeyDown:
        case InputEvent::Kind::KeyUp:
            keyboard->Send(seat, event.key, event.kind == InputEvent::Kind::KeyDown, time);
            return true;
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    return true;
}

bool WlrootsInputPath::Send(const std::vector<InputEvent>& events) {
    std::lock_guard<std::mutex> guard(mutex);
    const std::uint32_t time = NowMs();
    bool all = true;
    for (const InputEvent& event : events) all = Inject(event, time) && all;
    // Until the compositor has taken the events: a release sent just before
    // the plugin exits would otherwise be lost with the connection.
    return wl_display_roundtrip(display) >= 0 && all;
}

}  // namespace

std::unique_ptr<InputPath> OpenWlrootsInputPath() {
    std::string failure;
    if (!LoadWaylandClient(failure)) {
        LogNote("No input through the compositor's virtual pointer: " + failure);
        return nullptr;
    }
    auto path = std::make_unique<WlrootsInputPath>();
    if (!path->Open()) return nullptr;
    return path;
}

}  // namespace platform::linux_input
