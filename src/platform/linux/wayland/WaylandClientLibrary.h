#pragma once

#include <string>

// libwayland-client, loaded only when the wlroots path is asked for, so that
// an X11 session never maps it. The calls that the protocol code and the
// client headers make into it are defined in this program and forwarded to
// the library once it is loaded; the core protocol's interfaces are
// generated into the program, as the other protocols' are.
namespace platform::linux_input {

// Loads the library and its functions, once; false with `failure` saying why
// (the same answer on every call). No Wayland call may be made before it
// has returned true.
bool LoadWaylandClient(std::string& failure);

}  // namespace platform::linux_input
