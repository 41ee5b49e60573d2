#pragma once

#include "platform/Platform.h"

#include <memory>
#include <vector>

// The ways the Linux build can deliver input: X11 (XTest), the wlroots
// virtual pointer and the desktop portal's remote desktop. One of them is
// chosen once, at start-up, from what the session offers.
namespace platform::linux_input {

class InputPath {
public:
    virtual ~InputPath() = default;

    // A short name for the log and for forcing a path: "x11", "wlroots", "portal".
    virtual const char* Name() const = 0;

    // Injects the events in order, as SendInputBatch describes; false when
    // the path refused them or is gone.
    virtual bool Send(const std::vector<InputEvent>& events) = 0;

    // Drops what the wheels carry of a notch, as EndWheelInput describes.
    virtual void EndWheelInput() = 0;

    // Whether a MoveAbsolute event lands on its desktop pixel. Where it does
    // not, the event is dropped and the call reports failure.
    virtual bool CanPlaceAbsolutely() const = 0;

    // The pointer's position; false where the path cannot tell, as no Wayland
    // client can.
    virtual bool ReadPointer(Point& point) = 0;

    // The displays, as GetMonitors describes them; empty when unknown.
    virtual std::vector<Monitor> Monitors() = 0;
};

}  // namespace platform::linux_input
