#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Everything the plugin asks of the operating system. The input calls keep the
// names, arguments and values of the Windows user-input API so that the code
// above this layer reads the same on every system; each backend (win32, x11,
// recording) is one file, chosen by the build at link time.
namespace platform {

// mouse_event flags.
constexpr std::uint32_t MOUSEEVENTF_LEFTDOWN = 0x0002;
constexpr std::uint32_t MOUSEEVENTF_LEFTUP = 0x0004;
constexpr std::uint32_t MOUSEEVENTF_RIGHTDOWN = 0x0008;
constexpr std::uint32_t MOUSEEVENTF_RIGHTUP = 0x0010;
constexpr std::uint32_t MOUSEEVENTF_MIDDLEDOWN = 0x0020;
constexpr std::uint32_t MOUSEEVENTF_MIDDLEUP = 0x0040;
constexpr std::uint32_t MOUSEEVENTF_XDOWN = 0x0080;
constexpr std::uint32_t MOUSEEVENTF_XUP = 0x0100;
constexpr std::uint32_t MOUSEEVENTF_WHEEL = 0x0800;
constexpr std::uint32_t MOUSEEVENTF_HWHEEL = 0x1000;

// mouse_event data values naming an extra button.
constexpr std::int32_t XBUTTON1 = 0x0001;
constexpr std::int32_t XBUTTON2 = 0x0002;

// One wheel notch in mouse_event data units.
constexpr std::int32_t WHEEL_DELTA = 120;

// GetSystemMetrics indices.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Injects one mouse event at the current cursor position. dx and dy are
// relative motion (unused by the plugin, always 0); data carries the wheel
// amount (signed, 120 per notch) or the extra button.
void mouse_event(std::uint32_t flags, std::int32_t dx, std::int32_t dy, std::int32_t data,
                 std::uintptr_t extraInfo);

// Puts the cursor at screen pixel (x, y) of the primary display; the system clamps.
bool SetCursorPos(int x, int y);

// Reads the cursor position; false when the system cannot tell.
bool GetCursorPos(Point& point);

// SM_CXSCREEN / SM_CYSCREEN: the primary display's size in pixels, 0 when unknown.
int GetSystemMetrics(int index);

// Full path of the running executable in the system's own notation, empty when
// the system cannot tell.
std::string GetExecutablePath();

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

struct RegularFile {
    UniqueFile file;          // null when the open failed
    std::uint64_t size = 0;   // in bytes, when it was opened
};

// Opens a regular file for reading, in binary mode, for a path in Windows
// notation: where the system's separator is the forward slash, backslashes
// are taken as separators. Fails for anything that could make a read wait or
// never end: a FIFO, device or directory is refused without being read, and
// so is a path holding a NUL character.
RegularFile OpenRegularFile(const std::string& path);

// Writes all `size` bytes to standard output, bypassing the C library's
// buffer; may block while the reader does not read. False on failure.
bool WriteStandardOutput(const char* data, std::size_t size);

// Waits on a monotonic clock; zero or less returns at once.
void SleepMilliseconds(int milliseconds);

// When the process is asked to end (SIGTERM, SIGINT or SIGHUP; on Windows a
// console control event), calls `finish` once, on a thread of its own, and
// then ends the process as the request would have. Call it first thing in
// main, before any other thread exists.
void CallBeforeTermination(void (*finish)());

}  // namespace platform
