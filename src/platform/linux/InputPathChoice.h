#pragma once

#include "platform/linux/LinuxInputPath.h"

#include <memory>
#include <string>
#include <vector>

// Which way the Linux build delivers input, chosen once from what the
// session offers; DECKMOUSE_INPUT (x11, wlroots, portal) forces one.
namespace platform::linux_input {

enum class PathKind { X11, Wlroots, Portal };

// What the session offers, found out at start-up.
struct SessionOffer {
    bool wayland = false;         // WAYLAND_DISPLAY names a display
    bool virtualPointer = false;  // its compositor lets a client make a virtual pointer
    bool portal = false;          // the desktop portal opened a remote desktop session
    std::string forced;           // DECKMOUSE_INPUT, empty when unset
};

struct PathChoice {
    PathKind path = PathKind::X11;
    std::vector<std::string> logLines;  // for the log, once
};

PathChoice ChooseInputPath(const SessionOffer& offer);

struct ChosenInputPath {
    std::unique_ptr<InputPath> path;
    PathKind kind = PathKind::X11;
};

// Looks at the session, opening only the paths the choice may need, logs
// what it chose and returns it.
ChosenInputPath OpenChosenInputPath();

}  // namespace platform::linux_input
