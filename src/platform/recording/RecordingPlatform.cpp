// Test backend. When the environment names DECKMOUSE_RECORDING_LOG, every call
// is also appended to that file as one line, so that tests of the whole
// executable can see what it injected: the name, the arguments or the events
// of a batch, and the time in microseconds.
#include "platform/Platform.h"
#include "platform/recording/RecordingPlatform.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

namespace platform {
namespace recording {
namespace {

// All that Reset restores.
struct ScreenState {
    std::vector<Call> calls;
    Point cursor;
    int width = 1920;
    int height = 1080;
    std::optional<std::vector<Monitor>> monitors;  // the screen alone until set
    int doubleClickTimeMs = 500;
    bool foregroundElevated = false;
    std::string executablePath;
    bool getCursorPosFails = false;
    bool cursorPosUnreadable = false;
    bool sendInputFails = false;
    bool startGuardianFails = false;
    bool guardianRunning = false;
    bool guardianPipeFull = false;
    std::deque<std::vector<std::uint8_t>> pluginReads;
};

struct Screen : ScreenState {
    std::mutex mutex;
    std::ofstream log;

    Screen() {
        if (const char* logPath = std::getenv("DECKMOUSE_RECORDING_LOG")) log.open(logPath, std::ios::app);
    }
};

// Never destroyed: detached workers may still call in while the process exits.
Screen& TheScreen() {
    static Screen* screen = new Screen();
    return *screen;
}

const char* NameOf(MouseButton button) {
    switch (button) {
        case MouseButton::Middle: return "middle";
        case MouseButton::Right: return "right";
        case MouseButton::X1: return "x1";
        case MouseButton::X2: return "x2";
        case MouseButton::Left: break;
    }
    return "left";
}

const char* NameOf(ModifierKey key) {
    switch (key) {
        case ModifierKey::Shift: return "shift";
        case ModifierKey::Alt: return "alt";
        case ModifierKey::Meta: return "meta";
        case ModifierKey::Ctrl: break;
    }
    return "ctrl";
}

void Record(Screen& screen, const char* what, std::vector<std::int64_t> args, std::vector<InputEvent> events = {}) {
    Call call{what, std::move(args), std::move(events), std::chrono::steady_clock::now()};
    if (screen.log.is_open()) {
        screen.log << call.what;
        for (const std::int64_t arg : call.args) screen.log << ' ' << arg;
        for (const InputEvent& event : call.events) screen.log << ' ' << Describe(event);
        screen.log << ' ' << std::chrono::duration_cast<std::chrono::microseconds>(call.time.time_since_epoch()).count()
                   << std::endl;
    }
    screen.calls.push_back(std::move(call));
}

// Applies one change to the screen under its lock.
template <typename Changing>
void Change(Changing changing) {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    changing(screen);
}

}  // namespace

std::string Describe(const InputEvent& event) {
    std::ostringstream text;
    switch (event.kind) {
        case InputEvent::Kind::MoveAbsolute: text << "move " << event.x << ' ' << event.y; break;
        case InputEvent::Kind::MoveRelative: text << "relative " << event.x << ' ' << event.y; break;
        case InputEvent::Kind::ButtonDown: text << "down " << NameOf(event.button); break;
        case InputEvent::Kind::ButtonUp: text << "up " << NameOf(event.button); break;
        case InputEvent::Kind::Wheel: text << "wheel " << event.amount; break;
        case InputEvent::Kind::HWheel: text << "hwheel " << event.amount; break;
        case InputEvent::Kind::KeyDown: text << "press " << NameOf(event.key); break;
        case InputEvent::Kind::KeyUp: text << "release " << NameOf(event.key); break;
    }
    return text.str();
}

void Reset() {
    Change([](Screen& screen) { static_cast<ScreenState&>(screen) = ScreenState{}; });
}

std::vector<Call> TakeCalls() {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    std::vector<Call> calls;
    calls.swap(screen.calls);
    return calls;
}

void SetCursor(int x, int y) {
    Change([&](Screen& screen) { screen.cursor = Point{x, y}; });
}

void SetScreenSize(int width, int height) {
    Change([&](Screen& screen) {
        screen.width = width;
        screen.height = height;
    });
}

void SetMonitors(const std::vector<Monitor>& monitors) {
    Change([&](Screen& screen) { screen.monitors = monitors; });
}

void SetDoubleClickTime(int milliseconds) {
    Change([&](Screen& screen) { screen.doubleClickTimeMs = milliseconds; });
}

void SetForegroundWindowElevated(bool elevated) {
    Change([&](Screen& screen) { screen.foregroundElevated = elevated; });
}

void SetExecutablePath(const std::string& path) {
    Change([&](Screen& screen) { screen.executablePath = path; });
}

void SetGetCursorPosFails(bool fails) {
    Change([&](Screen& screen) { screen.getCursorPosFails = fails; });
}

void SetCursorPosUnreadable(bool unreadable) {
    Change([&](Screen& screen) { screen.cursorPosUnreadable = unreadable; });
}

void SetSendInputFails(bool fails) {
    Change([&](Screen& screen) { screen.sendInputFails = fails; });
}

void SetStartGuardianFails(bool fails) {
    Change([&](Screen& screen) { screen.startGuardianFails = fails; });
}

void SetGuardianPipeFull(bool full) {
    Change([&](Screen& screen) { screen.guardianPipeFull = full; });
}

void EndGuardian() {
    Change([](Screen& screen) { screen.guardianRunning = false; });
}

void SetPluginReads(const std::vector<std::vector<std::uint8_t>>& reads) {
    Change([&](Screen& screen) { screen.pluginReads.assign(reads.begin(), reads.end()); });
}

}  // namespace recording

using recording::TheScreen;

void mouse_event(std::uint32_t flags, std::int32_t, std::int32_t, std::int32_t data, std::uintptr_t) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "mouse_event", {flags, data});
}

bool SetCursorPos(int x, int y) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "SetCursorPos", {x, y});
    screen.cursor = Point{x, y};
    return true;
}

bool GetCursorPos(Point& point) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "GetCursorPos", {});
    if (screen.getCursorPosFails || screen.cursorPosUnreadable) return false;
    point = screen.cursor;
    return true;
}

bool CanReadCursorPos() {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    return !screen.cursorPosUnreadable;
}

int GetSystemMetrics(int index) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "GetSystemMetrics", {index});
    if (index == SM_CXSCREEN) return screen.width;
    if (index == SM_CYSCREEN) return screen.height;
    return 0;
}

bool SendInputBatch(const std::vector<InputEvent>& events) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "SendInput", {}, events);
    if (screen.sendInputFails) return false;
    for (const InputEvent& event : events) {
        if (event.kind == InputEvent::Kind::MoveAbsolute) screen.cursor = Point{event.x, event.y};
        // Unaccelerated: the screen in memory has no pointer speed settings.
        if (event.kind == InputEvent::Kind::MoveRelative) {
            screen.cursor = Point{screen.cursor.x + event.x, screen.cursor.y + event.y};
        }
    }
    return true;
}

void EndWheelInput() {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "EndWheelInput", {});
}

std::vector<Monitor> GetMonitors() {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "GetMonitors", {});
    if (screen.monitors) return *screen.monitors;
    return {Monitor{0, 0, screen.width, screen.height, true}};
}

int GetDoubleClickTimeMs() {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "GetDoubleClickTime", {});
    return screen.doubleClickTimeMs;
}

bool IsForegroundWindowElevated() {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "IsForegroundWindowElevated", {});
    return screen.foregroundElevated;
}

std::string GetExecutablePath() {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    return screen.executablePath;
}

namespace {

// Starts nothing: the tests run the guardian's loop themselves.
bool StartRecordedGuardian(const char* what) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, what, {});
    screen.guardianRunning = !screen.startGuardianFails;
    return screen.guardianRunning;
}

}  // namespace

bool StartGuardian(int (*)()) { return StartRecordedGuardian("StartGuardian"); }

bool StartGuardianAgain() { return StartRecordedGuardian("StartGuardianAgain"); }

// Only what the pipe takes is recorded.
GuardianWrite TellGuardian(const std::uint8_t* bytes, std::size_t size) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    if (!screen.guardianRunning) return GuardianWrite::Gone;
    if (screen.guardianPipeFull) return GuardianWrite::Full;
    recording::Record(screen, "TellGuardian", std::vector<std::int64_t>(bytes, bytes + size));
    return GuardianWrite::Taken;
}

// The recording executable is never started as a guardian.
bool OpenGuardianPipe(int, const char* const[]) { return false; }

std::size_t ReadFromPlugin(std::uint8_t* buffer, std::size_t capacity) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    if (screen.pluginReads.empty()) return 0;
    std::vector<std::uint8_t>& next = screen.pluginReads.front();
    const std::size_t count = std::min(capacity, next.size());
    std::copy_n(next.begin(), count, buffer);
    next.erase(next.begin(), next.begin() + static_cast<std::ptrdiff_t>(count));
    if (next.empty()) screen.pluginReads.pop_front();
    return count;
}

}  // namespace platform
