#pragma once

#include "platform/LinuxInputPath.h"

namespace platform::linux_input {

// The desktop portal's remote desktop session; null where the session bus
// has no such portal or the user refused.
std::unique_ptr<InputPath> OpenPortalInputPath();

}  // namespace platform::linux_input
