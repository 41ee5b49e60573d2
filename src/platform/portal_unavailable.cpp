// Stands for the desktop portal until this build has it.
#include "platform/PortalInputPath.h"

namespace platform::linux_input {

std::unique_ptr<InputPath> OpenPortalInputPath() { return nullptr; }

}  // namespace platform::linux_input
