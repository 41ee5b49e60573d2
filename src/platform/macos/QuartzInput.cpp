#include "platform/macos/QuartzInput.h"

#include "platform/PlatformLog.h"
#include "platform/WheelNotches.h"
#include "platform/macos/DisplayClamp.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace platform::quartz {
namespace {

// Half a second, macOS's usual setting, for a system that cannot say.
constexpr int kFallbackDoubleClickMs = 500;
constexpr std::uint32_t kMaxDisplays = 32;

// The event types of one button: left and right have their own, the rest
// share the "other" types and are told apart by their number.
struct ButtonEvents {
    CGEventType down;
    CGEventType up;
    CGEventType dragged;
    CGMouseButton number;
};

ButtonEvents EventsOf(MouseButton button) {
    switch (button) {
        case MouseButton::Right:
            return {kCGEventRightMouseDown, kCGEventRightMouseUp, kCGEventRightMouseDragged, kCGMouseButtonRight};
        case MouseButton::Middle:
            return {kCGEventOtherMouseDown, kCGEventOtherMouseUp, kCGEventOtherMouseDragged, kCGMouseButtonCenter};
        case MouseButton::X1: return {kCGEventOtherMouseDown, kCGEventOtherMouseUp, kCGEventOtherMouseDragged, 3};
        case MouseButton::X2: return {kCGEventOtherMouseDown, kCGEventOtherMouseUp, kCGEventOtherMouseDragged, 4};
        case MouseButton::Left: break;
    }
    return {kCGEventLeftMouseDown, kCGEventLeftMouseUp, kCGEventLeftMouseDragged, kCGMouseButtonLeft};
}

CGEventFlags FlagOf(ModifierKey key) {
    switch (key) {
        case ModifierKey::Shift: return kCGEventFlagMaskShift;
        case ModifierKey::Alt: return kCGEventFlagMaskAlternate;
        case ModifierKey::Meta: return kCGEventFlagMaskCommand;
        case ModifierKey::Ctrl: break;
    }
    return kCGEventFlagMaskControl;
}

bool IsKey(const InputEvent& event) {
    return event.kind == InputEvent::Kind::KeyDown || event.kind == InputEvent::Kind::KeyUp;
}

// The held button whose drag a move is, in the order a window server would
// report it; held_ is indexed by MouseButton.
constexpr MouseButton kDragOrder[] = {MouseButton::Left, MouseButton::Right, MouseButton::Middle, MouseButton::X1,
                                      MouseButton::X2};

std::size_t IndexOf(MouseButton button) { return static_cast<std::size_t>(button); }

// A coordinate from Quartz as a pixel; whatever a broken system hands back
// (NaN, beyond int) becomes something an int holds.
std::int32_t ToPixel(double value) {
    if (!(value == value)) return 0;
    const double limit = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::floor(std::max(-limit, std::min(limit, value))));
}

const char kAccessRefused[] =
    "macOS does not let deckmouse post mouse events: allow the Stream Deck application, which starts "
    "deckmouse, in System Settings, Privacy & Security, Accessibility, then quit and reopen Stream Deck";

}  // namespace

bool QuartzInput::Send(const std::vector<InputEvent>& events, ClickPairing::Clock::time_point now) {
    std::lock_guard<std::mutex> guard(mutex_);
    // Keys alone post nothing, so they need no permission: a guardian that
    // lets go of keys only asks the system nothing.
    if (std::all_of(events.begin(), events.end(), IsKey)) {
        for (const InputEvent& event : events) SetKey(event);
        return true;
    }
    if (!MayPost()) return false;
    // Positions are followed here rather than read back after each post: the
    // window server moves the cursor only once it has taken the event.
    Point place;
    if (!ReadCursorLocked(place)) return false;
    const std::vector<Monitor> displays = MonitorsLocked();
    for (const InputEvent& event : events) {
        bool posted = false;
        switch (event.kind) {
            case InputEvent::Kind::MoveAbsolute:
                place = ClampToDisplays({event.x, event.y}, displays);
                posted = PostMove(place, nullptr);
                break;
            case InputEvent::Kind::MoveRelative: {
                // The delta fields carry the whole motion, also where the
                // cursor stops at an edge, as a mouse reports it.
                const Point delta{event.x, event.y};
                place = ClampToDisplays(Offset(place, delta), displays);
                posted = PostMove(place, &delta);
                break;
            }
            case InputEvent::Kind::ButtonDown:
            case InputEvent::Kind::ButtonUp:
                posted = PostButton(event.button, event.kind == InputEvent::Kind::ButtonDown, place, now);
                break;
            case InputEvent::Kind::Wheel: posted = PostScroll(remainders_.vertical, event.amount, false); break;
            case InputEvent::Kind::HWheel: posted = PostScroll(remainders_.horizontal, event.amount, true); break;
            case InputEvent::Kind::KeyDown:
            case InputEvent::Kind::KeyUp:
                SetKey(event);
                posted = true;
                break;
        }
        if (!posted) return false;
    }
    return true;
}

void QuartzInput::SetKey(const InputEvent& key) {
    if (key.kind == InputEvent::Kind::KeyDown) {
        flags_ |= FlagOf(key.key);
    } else {
        flags_ &= ~FlagOf(key.key);
    }
}

void QuartzInput::EndWheelInput() {
    std::lock_guard<std::mutex> guard(mutex_);
    remainders_ = {};
}

bool QuartzInput::MayPost() {
    std::string missing;
    ForEachFunction(functions_, [&missing](const char* name, auto function) {
        if (function == nullptr) missing += std::string(missing.empty() ? "" : ", ") + name;
    });
    if (!missing.empty()) {
        if (!missingReported_) LogNote("macOS lacks " + missing + ": deckmouse cannot post mouse events");
        missingReported_ = true;
        return false;
    }
    // Asked before the first input and until the user allows it; the system
    // asks the user once, as does the log.
    if (!mayPost_) mayPost_ = functions_.CGPreflightPostEventAccess();
    if (!mayPost_ && !accessRequested_) {
        accessRequested_ = true;
        functions_.CGRequestPostEventAccess();
        LogNote(kAccessRefused);
    }
    return mayPost_;
}

bool QuartzInput::PostButton(MouseButton button, bool down, Point place, ClickPairing::Clock::time_point now) {
    const ButtonEvents types = EventsOf(button);
    const std::size_t index = IndexOf(button);
    // A release ends the click its press began; one without a press is a
    // single click's.
    int clickState = held_[index] ? heldClickState_[index] : 1;
    if (down) clickState = pairing_.Press(button, place, now, std::chrono::milliseconds(DoubleClickTimeMs()));
    if (!PostMouse(down ? types.down : types.up, place, types.number, clickState, nullptr)) return false;
    held_[index] = down;
    heldClickState_[index] = clickState;
    return true;
}

bool QuartzInput::PostMove(Point place, const Point* delta) {
    pairing_.MovedTo(place);
    for (const MouseButton button : kDragOrder) {
        if (!held_[IndexOf(button)]) continue;
        const ButtonEvents types = EventsOf(button);
        return PostMouse(types.dragged, place, types.number, 0, delta);
    }
    return PostMouse(kCGEventMouseMoved, place, kCGMouseButtonLeft, 0, delta);
}

bool QuartzInput::PostMouse(CGEventType type, Point place, CGMouseButton button, int clickState,
                            const Point* delta) {
    const CGPoint position{static_cast<double>(place.x), static_cast<double>(place.y)};
    const CGEventRef event = functions_.CGEventCreateMouseEvent(nullptr, type, position, button);
    if (event == nullptr) return false;
    if (clickState > 0) functions_.CGEventSetIntegerValueField(event, kCGMouseEventClickState, clickState);
    if (delta != nullptr) {
        functions_.CGEventSetIntegerValueField(event, kCGMouseEventDeltaX, delta->x);
        functions_.CGEventSetIntegerValueField(event, kCGMouseEventDeltaY, delta->y);
    }
    return Post(event);
}

bool QuartzInput::PostScroll(long long& remainder, std::int32_t amount, bool horizontal) {
    // TakeWholeNotches keeps the notches of one int32 amount within an int32.
    const auto notches = static_cast<std::int32_t>(TakeWholeNotches(remainder, amount));
    if (notches == 0) return true;
    // Line units, one line per notch, as a wheel mouse reports. Quartz's
    // signs are those AppKit passes on in NSEvent's scrollingDeltaY and
    // scrollingDeltaX: a positive first axis scrolls up, a positive second
    // axis scrolls left. Windows' amounts are positive up and right, so the
    // horizontal one changes sign.
    const CGEventRef event =
        horizontal ? functions_.CGEventCreateScrollWheelEvent2(nullptr, kCGScrollEventUnitLine, 2, 0, -notches, 0)
                   : functions_.CGEventCreateScrollWheelEvent2(nullptr, kCGScrollEventUnitLine, 1, notches, 0, 0);
    if (event == nullptr) return false;
    return Post(event);
}

bool QuartzInput::Post(CGEventRef event) {
    // Without a modifier of ours the event keeps the flags Quartz gave it,
    // as before there were modifiers: a key the user holds still counts.
    if (flags_ != 0) functions_.CGEventSetFlags(event, flags_);
    functions_.CGEventPost(kCGHIDEventTap, event);
    functions_.CFRelease(event);
    return true;
}

bool QuartzInput::ReadCursor(Point& point) {
    std::lock_guard<std::mutex> guard(mutex_);
    return ReadCursorLocked(point);
}

bool QuartzInput::ReadCursorLocked(Point& point) {
    if (!functions_.CGEventCreate || !functions_.CGEventGetLocation || !functions_.CFRelease) return false;
    const CGEventRef event = functions_.CGEventCreate(nullptr);
    if (event == nullptr) return false;
    const CGPoint location = functions_.CGEventGetLocation(event);
    functions_.CFRelease(event);
    point = {ToPixel(location.x), ToPixel(location.y)};
    return true;
}

std::vector<Monitor> QuartzInput::Monitors() {
    std::lock_guard<std::mutex> guard(mutex_);
    return MonitorsLocked();
}

std::vector<Monitor> QuartzInput::MonitorsLocked() {
    std::vector<Monitor> monitors;
    if (!functions_.CGGetActiveDisplayList || !functions_.CGDisplayBounds || !functions_.CGMainDisplayID) {
        return monitors;
    }
    CGDirectDisplayID displays[kMaxDisplays];
    std::uint32_t count = 0;
    if (functions_.CGGetActiveDisplayList(kMaxDisplays, displays, &count) != kCGErrorSuccess) return monitors;
    const CGDirectDisplayID mainDisplay = functions_.CGMainDisplayID();
    bool hasPrimary = false;
    for (std::uint32_t i = 0; i < count && i < kMaxDisplays; ++i) {
        // Global coordinates in points: the main display's top-left corner
        // is the origin and y grows downwards, as on Windows.
        const CGRect bounds = functions_.CGDisplayBounds(displays[i]);
        const bool primary = displays[i] == mainDisplay;
        hasPrimary = hasPrimary || primary;
        monitors.push_back({ToPixel(bounds.origin.x), ToPixel(bounds.origin.y), ToPixel(bounds.size.width),
                            ToPixel(bounds.size.height), primary});
    }
    if (!monitors.empty() && !hasPrimary) monitors.front().primary = true;
    return monitors;
}

int QuartzInput::DoubleClickTimeMs() {
    if (!functions_.objc_getClass || !functions_.sel_registerName || !functions_.objc_msgSend_double) {
        return kFallbackDoubleClickMs;
    }
    // NSEvent lives in AppKit; without it the class is nil.
    const ObjcId nsEvent = functions_.objc_getClass("NSEvent");
    const ObjcSel interval = functions_.sel_registerName("doubleClickInterval");
    if (nsEvent == nullptr || interval == nullptr) return kFallbackDoubleClickMs;
    const double seconds = functions_.objc_msgSend_double(nsEvent, interval);  // an NSTimeInterval
    if (!(seconds > 0 && seconds < 60)) return kFallbackDoubleClickMs;
    return static_cast<int>(std::lround(seconds * 1000));
}

}  // namespace platform::quartz
