#pragma once

#include "platform/linux/LinuxInputPath.h"

namespace platform::linux_input {

// XTest on the display named by DISPLAY, opened on first use. Always made:
// without a display its calls do nothing and report failure.
std::unique_ptr<InputPath> OpenX11InputPath();

}  // namespace platform::linux_input
