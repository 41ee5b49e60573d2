#pragma once

#include "platform/linux/LinuxInputPath.h"

namespace platform::linux_input {

// A virtual pointer on the Wayland display named by WAYLAND_DISPLAY; null
// where there is none or its compositor does not offer virtual pointers.
std::unique_ptr<InputPath> OpenWlrootsInputPath();

}  // namespace platform::linux_input
