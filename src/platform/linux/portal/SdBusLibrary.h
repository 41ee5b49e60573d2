#pragma once

#include <string>

// libsystemd's sd-bus, loaded only when the desktop portal's path is asked
// for, so that an X11 session never maps it. The sd-bus calls of the portal
// code are defined in this program and forwarded to the library once it is
// loaded.
namespace platform::portal {

// Loads the library and its functions, once; false with `failure` saying why
// (the same answer on every call). No sd-bus call may be made before it has
// returned true.
bool LoadSdBus(std::string& failure);

}  // namespace platform::portal
