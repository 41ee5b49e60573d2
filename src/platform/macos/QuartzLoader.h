#pragma once

#include "platform/macos/QuartzApi.h"

namespace platform::quartz {

// Opens the system's frameworks and takes their functions, null for each one
// the system lacks: nothing is linked, so the executable starts on any macOS
// and says what is missing when input is asked of it.
Functions LoadQuartzFunctions();

}  // namespace platform::quartz
