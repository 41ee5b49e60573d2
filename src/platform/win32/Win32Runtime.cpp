#include "platform/Platform.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
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

RegularFile OpenRegularFile(const std::string& path) {
    if (path.find('\0') != std::string::npos) return {};
    // Shared for reading and writing as fopen shares. A directory does not
    // open without FILE_FLAG_BACKUP_SEMANTICS; a console, serial line or pipe
    // opens without waiting and is told apart by its type.
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(handle);
        return {};
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return {};
    }
    RegularFile opened;
    opened.file.reset(_fdopen(descriptor, "rb"));
    if (!opened.file) {
        _close(descriptor);  // closes the handle too
        return {};
    }
    opened.size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    return opened;
}

bool WriteStandardOutput(const char* data, std::size_t size) {
    constexpr DWORD kLargestWrite = 1u << 30;  // WriteFile counts in 32 bits
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == INVALID_HANDLE_VALUE || output == nullptr) return false;
    while (size > 0) {
        const DWORD chunk = size > kLargestWrite ? kLargestWrite : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(output, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

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
