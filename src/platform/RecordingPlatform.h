#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// The recording backend: a screen in memory that records every input call with
// the monotonic time at which it was made. Tests set the cursor, the screen
// size, the executable path and GetCursorPos failure, then read what the
// plugin asked for.
namespace platform::recording {

struct Call {
    std::string what;                  // "mouse_event", "SetCursorPos", "GetCursorPos" or "GetSystemMetrics"
    std::vector<std::int64_t> args;    // mouse_event: flags, data; SetCursorPos: x, y; GetSystemMetrics: index
    std::chrono::steady_clock::time_point time;
};

// Clears the recorded calls and restores the defaults: cursor (0, 0), a
// 1920x1080 screen, an empty executable path, GetCursorPos succeeding.
void Reset();

// The calls recorded since the last Reset or TakeCalls, oldest first; clears them.
std::vector<Call> TakeCalls();

void SetCursor(int x, int y);
void SetScreenSize(int width, int height);
void SetExecutablePath(const std::string& path);
void SetGetCursorPosFails(bool fails);

}  // namespace platform::recording
