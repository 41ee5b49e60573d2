#pragma once

#include "platform/linux/LinuxInputPath.h"

#include <memory>

namespace platform::linux_input {

// Input through the desktop portal's remote desktop (GNOME, KDE Plasma): asks
// for a pointer, which the user grants once where the portal can keep the
// grant, and at each start where it cannot. Waits for the user's answer.
// Null when the session bus offers no remote desktop with a pointer or the
// grant is refused; the log then says why, in one line.
std::unique_ptr<InputPath> OpenPortalInputPath();

}  // namespace platform::linux_input
