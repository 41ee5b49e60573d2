#pragma once

// The macOS backend's work, over a table of Quartz functions: input batches
// as posted Quartz events, the cursor, the displays and the double-click
// interval. Portable code: the table is what makes it macOS.
#include "platform/Platform.h"
#include "platform/WheelNotches.h"
#include "platform/macos/ClickPairing.h"
#include "platform/macos/QuartzApi.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace platform::quartz {

class QuartzInput {
public:
    explicit QuartzInput(const Functions& functions) : functions_(functions) {}

    // Posts the events in order at the HID tap, as SendInputBatch describes;
    // `now` is when the batch is made, for pairing clicks. Modifier keys are
    // not posted: from a key's KeyDown to its KeyUp, in this batch or a later
    // one, every mouse event posted carries its flag, so no key can be left
    // down however the plugin ends. False when a function is missing, when
    // the system does not let this process post events, or when an event
    // could not be made.
    bool Send(const std::vector<InputEvent>& events, ClickPairing::Clock::time_point now);

    // Drops what the wheels carry of a notch, as EndWheelInput describes.
    void EndWheelInput();

    // The cursor in global coordinates, as GetCursorPos reports it.
    bool ReadCursor(Point& point);

    // The active displays, as GetMonitors reports them; the main display is
    // the primary one.
    std::vector<Monitor> Monitors();

    // NSEvent.doubleClickInterval in ms, or half a second where it cannot be read.
    int DoubleClickTimeMs();

private:
    bool MayPost();
    std::vector<Monitor> MonitorsLocked();
    bool ReadCursorLocked(Point& point);
    // A click state of 0 leaves the field alone; a null delta, the delta fields.
    bool PostMouse(CGEventType type, Point place, CGMouseButton button, int clickState, const Point* delta);
    bool PostButton(MouseButton button, bool down, Point place, ClickPairing::Clock::time_point now);
    bool PostMove(Point place, const Point* delta);
    bool PostScroll(long long& remainder, std::int32_t amount, bool horizontal);
    bool Post(CGEventRef event);
    // A KeyDown or KeyUp: its flag, on or off.
    void SetKey(const InputEvent& key);

    const Functions functions_;
    std::mutex mutex_;
    bool missingReported_ = false;
    bool mayPost_ = false;
    bool accessRequested_ = false;
    // One of each per MouseButton, in its order.
    static constexpr std::size_t kButtons = 5;
    static_assert(static_cast<std::size_t>(MouseButton::X2) + 1 == kButtons, "X2 is the last button");
    bool held_[kButtons] = {};
    int heldClickState_[kButtons] = {};
    WheelRemainders remainders_;
    ClickPairing pairing_;
    CGEventFlags flags_ = 0;  // of the modifier keys down
};

}  // namespace platform::quartz
