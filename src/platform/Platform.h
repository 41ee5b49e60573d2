#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Everything the plugin asks of the operating system. The input calls keep the
// names, arguments and values of the Windows user-input API so that the code
// above this layer reads the same on every system; the backend (win32, Linux,
// recording) is chosen by the build at link time, and the Linux one chooses
// its input path (X11, a Wayland virtual pointer, the desktop portal) once,
// from what the session offers.
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

// Puts the cursor at screen pixel (x, y) of the primary display, or the
// nearest pixel of the desktop.
bool SetCursorPos(int x, int y);

// Reads the cursor position; false when the system cannot tell.
bool GetCursorPos(Point& point);

// Whether GetCursorPos can tell at all. A Wayland client never learns where
// the pointer is, so a move that starts from the cursor must be made as
// relative motion there.
bool CanReadCursorPos();

// SM_CXSCREEN / SM_CYSCREEN: the primary display's size in pixels, 0 when unknown.
int GetSystemMetrics(int index);

enum class MouseButton { Left, Middle, Right, X1, X2 };

// The keyboard's modifier keys a mouse command may hold, the left-hand ones:
// Meta is the Windows key, Command on macOS, Super on Linux.
enum class ModifierKey { Ctrl, Shift, Alt, Meta };

// One step of an input batch.
struct InputEvent {
    enum class Kind { MoveAbsolute, MoveRelative, ButtonDown, ButtonUp, Wheel, HWheel, KeyDown, KeyUp };
    Kind kind = Kind::MoveAbsolute;
    // MoveAbsolute: a desktop pixel, negative left of or above the primary
    // display; MoveRelative: the motion, as a mouse would report it.
    std::int32_t x = 0;
    std::int32_t y = 0;
    MouseButton button = MouseButton::Left;  // ButtonDown and ButtonUp
    // Wheel and HWheel: signed, WHEEL_DELTA per notch, positive up and right.
    std::int32_t amount = 0;
    ModifierKey key = ModifierKey::Ctrl;  // KeyDown and KeyUp

    static InputEvent MoveTo(std::int32_t x, std::int32_t y) { return {Kind::MoveAbsolute, x, y}; }
    static InputEvent MoveBy(std::int32_t dx, std::int32_t dy) { return {Kind::MoveRelative, dx, dy}; }
    static InputEvent Down(MouseButton button) { return {Kind::ButtonDown, 0, 0, button}; }
    static InputEvent Up(MouseButton button) { return {Kind::ButtonUp, 0, 0, button}; }
    static InputEvent Wheel(std::int32_t amount) { return {Kind::Wheel, 0, 0, MouseButton::Left, amount}; }
    static InputEvent HWheel(std::int32_t amount) { return {Kind::HWheel, 0, 0, MouseButton::Left, amount}; }
    static InputEvent Press(ModifierKey key) { return {Kind::KeyDown, 0, 0, MouseButton::Left, 0, key}; }
    static InputEvent Release(ModifierKey key) { return {Kind::KeyUp, 0, 0, MouseButton::Left, 0, key}; }
};

// Injects the events in order, back to back: one SendInput on Windows, which
// lets no other input in between, where an absolute move lands on exactly its
// pixel of the virtual desktop and wheel amounts below a notch pass as they
// are; one run of XTest requests ended by one XSync on X11, where wheel
// amounts are carried until they make whole notches, as mouse_event does
// (see EndWheelInput); through a Wayland virtual pointer, one frame per event
// and a round trip at the end, whole notches as discrete steps beside the
// smooth length. Positions and relative steps are kept on the desktop: a
// system may take only 16 bits of them (X11), and would wrap.
// Modifier keys go down and up where they stand among the mouse events: as
// keyboard input in the same batch where the system has it, as the flags of
// the mouse events that follow on macOS. A session that offers no keyboard
// leaves them out, says so once in the log, and sends the rest.
// False when the system refused the batch or there is no display.
bool SendInputBatch(const std::vector<InputEvent>& events);

// Where the system takes only whole notches (X11, the desktop portal, the
// discrete steps of a Wayland virtual pointer), what is left of a notch is
// carried to the next event of the same wheel, so that a command scrolling
// less than a notch a step still scrolls. That part belongs to the command
// that made it: called as a command's wheel input ends, this drops it, so that
// it cannot add to or take from another command's scroll. Nothing where
// parts of notches pass as they are (Windows).
void EndWheelInput();

// A display's rectangle in desktop pixels (those of SetCursorPos).
struct Monitor {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool primary = false;
};

// The displays in the system's order, exactly one of them primary; empty when
// the system cannot tell.
std::vector<Monitor> GetMonitors();

// The longest time, in ms, from one click to the next that still makes a
// double-click. X11 has no such setting: there it is 100 ms, a gap from the
// first release to the second press that every X toolkit pairs.
int GetDoubleClickTimeMs();

// True when the window in the foreground belongs to a process at a higher
// integrity level than this one (an elevated program), which Windows does not
// let injected input reach. Always false where there are no such levels.
bool IsForegroundWindowElevated();

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

// The guardian: a second process of this executable, in a process group of
// its own, that the plugin tells of the buttons and modifier keys it holds.
// When the plugin ends without saying goodbye (killed, crashed), the
// guardian releases what was still held, through a display connection of
// its own.

// In the plugin, before any other thread exists: starts the guardian with a
// pipe to it, in which `runGuardian` runs and returns its exit code. POSIX
// systems call it in a forked copy of this process (no exec, so nothing is
// loaded twice); Windows starts this executable again, whose main then finds
// OpenGuardianPipe true and calls it. False, and no guardian, when it could
// not be started.
bool StartGuardian(int (*runGuardian)());

// Once threads exist, after TellGuardian found the guardian gone: starts a
// new one with a new pipe, as this executable started again with a command
// line of its own (OpenGuardianPipe), on every system. False when it could
// not be started.
bool StartGuardianAgain();

// What became of a record handed to the guardian.
enum class GuardianWrite {
    Taken,  // in the pipe, whole
    // The pipe takes nothing now: the guardian is not reading. The record
    // has not gone in, or waits to go in whole; call again, with what
    // should follow it, once the guardian reads again.
    Full,
    Gone,  // there is no guardian, or it has ended: nothing reaches it
};

// Hands the guardian one record of at most 16 bytes without waiting for it
// to read. Calls must not overlap.
GuardianWrite TellGuardian(const std::uint8_t* bytes, std::size_t size);

// True when this process was started as the guardian (the command line says
// so, in a form no host passes) and its pipe from the plugin is open.
bool OpenGuardianPipe(int argc, const char* const argv[]);

// In the guardian: waits for bytes from the plugin, puts up to `capacity` of
// them in `buffer` and returns their count; 0 once the plugin has ended (its
// end of the pipe closed or its process gone).
std::size_t ReadFromPlugin(std::uint8_t* buffer, std::size_t capacity);

// When the process is asked to end (SIGTERM, SIGINT or SIGHUP; on Windows a
// console control event), calls `finish` once, on a thread of its own, and
// then ends the process as the request would have. Call it first thing in
// main, before any other thread exists.
void CallBeforeTermination(void (*finish)());

}  // namespace platform
