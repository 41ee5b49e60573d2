#include "platform/Platform.h"

#include <windows.h>
#include <timeapi.h>

namespace platform {
namespace {

// Older headers lack it; systems before Windows 10 1803 refuse it.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// A plain Sleep ends on the system timer tick, 15.6 ms by default, which
// would stretch a held move's 1 ms steps sixteenfold. A high-resolution
// waitable timer, one per thread, wakes on time.
HANDLE HighResolutionTimer() {
    thread_local HANDLE timer =
        CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    return timer;
}

// Where there is no such timer, a 1 ms system tick for the life of the
// process makes Sleep nearly as precise.
void RaiseTimerResolution() {
    static const MMRESULT raised = timeBeginPeriod(1);
    (void)raised;
}

}  // namespace

UniqueFile OpenFile(const std::string& path, const char* mode) { return UniqueFile(std::fopen(path.c_str(), mode)); }

void SleepMilliseconds(int milliseconds) {
    if (milliseconds <= 0) return;
    if (HANDLE timer = HighResolutionTimer()) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;  // relative, in 100 ns units
        if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0) {
            return;
        }
    }
    RaiseTimerResolution();
    Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace platform
