// Test backend. When the environment names DECKMOUSE_RECORDING_LOG, every call
// is also appended to that file as one line, so that tests of the whole
// executable can see what it injected.
#include "platform/Platform.h"
#include "platform/RecordingPlatform.h"

#include <cstdlib>
#include <fstream>
#include <mutex>

namespace platform {
namespace recording {
namespace {

struct Screen {
    std::mutex mutex;
    std::vector<Call> calls;
    Point cursor;
    int width = 1920;
    int height = 1080;
    std::string executablePath;
    bool getCursorPosFails = false;
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

void Record(Screen& screen, const char* what, std::vector<std::int64_t> args) {
    Call call{what, std::move(args), std::chrono::steady_clock::now()};
    if (screen.log.is_open()) {
        screen.log << call.what;
        for (const std::int64_t arg : call.args) screen.log << ' ' << arg;
        screen.log << ' ' << std::chrono::duration_cast<std::chrono::microseconds>(call.time.time_since_epoch()).count()
                   << std::endl;
    }
    screen.calls.push_back(std::move(call));
}

}  // namespace

void Reset() {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    screen.calls.clear();
    screen.cursor = Point{};
    screen.width = 1920;
    screen.height = 1080;
    screen.executablePath.clear();
    screen.getCursorPosFails = false;
}

std::vector<Call> TakeCalls() {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    std::vector<Call> calls;
    calls.swap(screen.calls);
    return calls;
}

void SetCursor(int x, int y) {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    screen.cursor = Point{x, y};
}

void SetScreenSize(int width, int height) {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    screen.width = width;
    screen.height = height;
}

void SetExecutablePath(const std::string& path) {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    screen.executablePath = path;
}

void SetGetCursorPosFails(bool fails) {
    Screen& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    screen.getCursorPosFails = fails;
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
    if (screen.getCursorPosFails) return false;
    point = screen.cursor;
    return true;
}

int GetSystemMetrics(int index) {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    recording::Record(screen, "GetSystemMetrics", {index});
    if (index == SM_CXSCREEN) return screen.width;
    if (index == SM_CYSCREEN) return screen.height;
    return 0;
}

std::string GetExecutablePath() {
    auto& screen = TheScreen();
    std::lock_guard<std::mutex> guard(screen.mutex);
    return screen.executablePath;
}

}  // namespace platform
