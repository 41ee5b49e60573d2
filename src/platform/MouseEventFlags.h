#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <vector>

namespace platform {

// mouse_event's flags and data as the events of an input batch, in the order
// in which Windows applies them, for the backends that send batches only.
std::vector<InputEvent> EventsOfMouseEvent(std::uint32_t flags, std::int32_t data);

}  // namespace platform
