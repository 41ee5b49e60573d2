#include "plugin/CursorMoveWorker.h"

#include "platform/Platform.h"
#include "plugin/ActiveMouseCommand.h"
#include "plugin/MouseInjection.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

namespace {

// The one command the executor leaves to this worker.
const std::string kCursorMoveCommand = "MOUSE_CURSOR_MOVE";

// Offsets are not bounded, so the sum is taken wide and kept within int.
int OffsetCoordinate(std::int32_t position, std::int32_t offset) {
    const std::int64_t sum = static_cast<std::int64_t>(position) + offset;
    return static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

void CursorMoveWorker() {
    // Where the cursor was last seen; each step starts from where it really
    // is, so the user's own movement adds to it.
    platform::Point remembered;
    for (;;) {
        const ActiveMouseCommand active = WaitForHeldCommand(kCursorMoveCommand);
        platform::Point current;
        if (platform::GetCursorPos(current)) remembered = current;
        MoveCursorTo(OffsetCoordinate(remembered.x, active.offsetX), OffsetCoordinate(remembered.y, active.offsetY));
        platform::SleepMilliseconds(active.pauseMs);
        platform::SleepMilliseconds(1);
    }
}

void StartCursorMoveWorker() {
    static std::once_flag started;
    std::call_once(started, [] { std::thread(CursorMoveWorker).detach(); });
}
