// macOS: what the plugin asks of the system beyond input and files.
#include "platform/GrowingBuffer.h"
#include "platform/Platform.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// From libSystem (dyld): the path the executable was started by; -1 and the
// size it needs when the buffer is too small.
extern "C" int _NSGetExecutablePath(char* buffer, std::uint32_t* size);

namespace platform {

// Input posted at the HID tap reaches every application alike.
bool IsForegroundWindowElevated() { return false; }

std::string GetExecutablePath() {
    const std::string started = ReadIntoGrowingBuffer([](char* buffer, std::size_t size) {
        std::uint32_t capacity = static_cast<std::uint32_t>(size);
        // Too small: a full buffer, so that a larger one is tried.
        if (_NSGetExecutablePath(buffer, &capacity) != 0) return static_cast<long long>(size);
        return static_cast<long long>(strnlen(buffer, size));
    });
    // It may be relative, or pass through links: the real file's full path.
    char resolved[PATH_MAX];
    if (!started.empty() && realpath(started.c_str(), resolved) != nullptr) return resolved;
    return started;
}

}  // namespace platform
