// Windows backend: the user-input and module calls themselves.
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

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

std::string GetExecutablePath() {
    // A path longer than MAX_PATH is cut to fit without an error, so the
    // buffer grows until the whole path and its terminator fit.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return std::string();  // beyond the longest path Windows has
        path.resize(path.size() * 2);
    }
}

}  // namespace platform
