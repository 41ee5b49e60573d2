// Windows backend: the user-input and module calls themselves.
#include "platform/GrowingBuffer.h"
#include "platform/Platform.h"

#include <windows.h>

namespace platform {

void mouse_event(std::uint32_t flags, std::int32_t dx, std::int32_t dy, std::int32_t data,
                 std::uintptr_t extraInfo) {
    ::mouse_event(flags, static_cast<DWORD>(dx), static_cast<DWORD>(dy), static_cast<DWORD>(data),
                  static_cast<ULONG_PTR>(extraInfo));
}

bool SetCursorPos(int x, int y) { return ::SetCursorPos(x, y) != FALSE; }

bool GetCursorPos(Point& point) {
    POINT position;
    if (!::GetCursorPos(&position)) return false;
    point.x = position.x;
    point.y = position.y;
    return true;
}

bool CanReadCursorPos() { return true; }

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

int GetDoubleClickTimeMs() { return static_cast<int>(::GetDoubleClickTime()); }

std::string GetExecutablePath() {
    // A path longer than the buffer comes back cut, without an error.
    return ReadIntoGrowingBuffer([](char* buffer, std::size_t size) {
        return static_cast<long long>(::GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size)));
    });
}

}  // namespace platform
