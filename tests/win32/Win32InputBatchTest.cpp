// The Windows backend against the system's input stack (run under Wine on
// Xvfb): what SendInputBatch injects, as low-level mouse and keyboard hooks
// see it, and the monitors and double-click time the system reports.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

constexpr std::chrono::seconds kDeadline(2);

// Watches every mouse and key event that reaches the input stack through
// WH_MOUSE_LL and WH_KEYBOARD_LL, on a thread of its own whose message loop
// runs both hooks (so the events come in the order the system takes them),
// and tells each as a line of text: "move 10 20", "right down at 10 20",
// "x1 up at 10 20", "wheel -30", "hwheel 45", "key 0xa2 scan 29 down" (the
// virtual key, its scan code, "extended" for an E0 key); "(not injected)"
// marks input that no program sent.
class InputHook {
public:
    InputHook() {
        instance = this;
        std::promise<bool> installed;
        std::future<bool> ready = installed.get_future();
        thread = std::thread([this, &installed] {
            threadId = ::GetCurrentThreadId();
            hook = ::SetWindowsHookExW(WH_MOUSE_LL, OnMouse, ::GetModuleHandleW(nullptr), 0);
            keyHook = ::SetWindowsHookExW(WH_KEYBOARD_LL, OnKey, ::GetModuleHandleW(nullptr), 0);
            installed.set_value(hook != nullptr && keyHook != nullptr);
            MSG message;
            while (hook != nullptr && keyHook != nullptr && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
                ::DispatchMessageW(&message);
            }
            if (keyHook != nullptr) ::UnhookWindowsHookEx(keyHook);
            if (hook != nullptr) ::UnhookWindowsHookEx(hook);
        });
        hooked = ready.get();
    }
    ~InputHook() {
        ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        thread.join();
        instance = nullptr;
    }
    InputHook(const InputHook&) = delete;
    InputHook& operator=(const InputHook&) = delete;

    bool Ready() const { return hooked; }

    // Collects events until `count` have arrived or the deadline passes.
    std::vector<std::string> Collect(std::size_t count, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(mutex);
        arrived.wait_for(lock, deadline, [&] { return seen.size() >= count; });
        std::vector<std::string> taken(seen.begin(), seen.begin() + std::min(count, seen.size()));
        seen.erase(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(taken.size()));
        return taken;
    }

    // True when nothing more arrives for a short while.
    bool Quiet() { return Collect(1, std::chrono::milliseconds(50)).empty(); }

private:
    static std::string Describe(WPARAM message, const MSLLHOOKSTRUCT& event) {
        const std::string at = " at " + std::to_string(event.pt.x) + " " + std::to_string(event.pt.y);
        const short high = static_cast<short>(HIWORD(event.mouseData));
        const std::string extra = high == XBUTTON1 ? "x1" : "x2";
        std::string text;
        switch (message) {
            case WM_MOUSEMOVE: text = "move " + std::to_string(event.pt.x) + " " + std::to_string(event.pt.y); break;
            case WM_LBUTTONDOWN: text = "left down" + at; break;
            case WM_LBUTTONUP: text = "left up" + at; break;
            case WM_MBUTTONDOWN: text = "middle down" + at; break;
            case WM_MBUTTONUP: text = "middle up" + at; break;
            case WM_RBUTTONDOWN: text = "right down" + at; break;
            case WM_RBUTTONUP: text = "right up" + at; break;
            case WM_XBUTTONDOWN: text = extra + " down" + at; break;
            case WM_XBUTTONUP: text = extra + " up" + at; break;
            case WM_MOUSEWHEEL: text = "wheel " + std::to_string(high); break;
            case WM_MOUSEHWHEEL: text = "hwheel " + std::to_string(high); break;
            default: text = "message " + std::to_string(message); break;
        }
        if (!(event.flags & LLMHF_INJECTED)) text += " (not injected)";
        return text;
    }

    static std::string DescribeKey(WPARAM message, const KBDLLHOOKSTRUCT& event) {
        char virtualKey[8];
        std::snprintf(virtualKey, sizeof virtualKey, "0x%02lx", event.vkCode);
        // Alt, and keys held with it, come as the system's key messages.
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        std::string text = std::string("key ") + virtualKey + " scan " + std::to_string(event.scanCode) +
                           ((event.flags & LLKHF_EXTENDED) ? " extended" : "") + (down ? " down" : " up");
        if (!(event.flags & LLKHF_INJECTED)) text += " (not injected)";
        return text;
    }

    void Add(const std::string& text) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            seen.push_back(text);
        }
        arrived.notify_all();
    }

    static LRESULT CALLBACK OnMouse(int code, WPARAM message, LPARAM data) {
        if (code == HC_ACTION && instance != nullptr) {
            instance->Add(Describe(message, *reinterpret_cast<const MSLLHOOKSTRUCT*>(data)));
        }
        return ::CallNextHookEx(nullptr, code, message, data);
    }

    static LRESULT CALLBACK OnKey(int code, WPARAM message, LPARAM data) {
        if (code == HC_ACTION && instance != nullptr) {
            instance->Add(DescribeKey(message, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data)));
        }
        return ::CallNextHookEx(nullptr, code, message, data);
    }

    static inline InputHook* instance = nullptr;
    std::thread thread;
    DWORD threadId = 0;
    HHOOK hook = nullptr;
    HHOOK keyHook = nullptr;
    bool hooked = false;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> seen;
};

std::string Move(int x, int y) { return "move " + std::to_string(x) + " " + std::to_string(y); }

class Win32InputBatch : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hook.Ready()) << "cannot install the low-level mouse and keyboard hooks"; }

    // Sends the batch and collects what the hook saw of it.
    std::vector<std::string> Send(const std::vector<InputEvent>& batch, std::size_t expected) {
        EXPECT_TRUE(SendInputBatch(batch));
        std::vector<std::string> seen = hook.Collect(expected, kDeadline);
        EXPECT_TRUE(hook.Quiet()) << "more input than expected";
        return seen;
    }

    InputHook hook;
};

TEST_F(Win32InputBatch, ClickAtAndBackArrivesInOrderWhereItWasSent) {
    Send({InputEvent::MoveTo(100, 100)}, 1);
    EXPECT_EQ(Send({InputEvent::MoveTo(500, 300), InputEvent::Down(MouseButton::Right),
                    InputEvent::Up(MouseButton::Right), InputEvent::MoveTo(100, 100)},
                   4),
              (std::vector<std::string>{Move(500, 300), "right down at 500 300", "right up at 500 300", Move(100, 100)}));
}

TEST_F(Win32InputBatch, AbsoluteMovesLandOnThePixelAsked) {
    const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int right = left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
    const int bottom = top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1;
    ASSERT_GT(right, left);
    Send({InputEvent::MoveTo((left + right) / 2, (top + bottom) / 2)}, 1);
    // Every column along the top and bottom edges and every row along the
    // sides, corners included, never the same pixel twice in a row (the
    // system reports no move that goes nowhere): a coordinate off by one
    // lands on a neighbour somewhere.
    std::vector<InputEvent> batch;
    std::vector<std::string> expected;
    const auto moveTo = [&](int x, int y) {
        batch.push_back(InputEvent::MoveTo(x, y));
        expected.push_back(Move(x, y));
    };
    for (int x = left; x <= right; ++x) moveTo(x, (x - left) % 2 == 0 ? top : bottom);
    for (int y = top + 1; y < bottom; ++y) moveTo((y - top) % 2 == 0 ? left : right, y);
    // Off the desktop: its edge.
    batch.push_back(InputEvent::MoveTo(left - 50, top - 50));
    expected.push_back(Move(left, top));
    EXPECT_EQ(Send(batch, expected.size()), expected);
}

TEST_F(Win32InputBatch, EveryButtonIsPressedAndReleased) {
    Send({InputEvent::MoveTo(40, 50)}, 1);
    const std::pair<MouseButton, std::string> buttons[] = {{MouseButton::Left, "left"},
                                                           {MouseButton::Middle, "middle"},
                                                           {MouseButton::Right, "right"},
                                                           {MouseButton::X1, "x1"},
                                                           {MouseButton::X2, "x2"}};
    for (const auto& [button, name] : buttons) {
        EXPECT_EQ(Send({InputEvent::Down(button), InputEvent::Up(button)}, 2),
                  (std::vector<std::string>{name + " down at 40 50", name + " up at 40 50"}));
    }
}

TEST_F(Win32InputBatch, WheelAmountsPassAsTheyAre) {
    EXPECT_EQ(Send({InputEvent::Wheel(30), InputEvent::Wheel(-45), InputEvent::HWheel(7), InputEvent::HWheel(-240)}, 4),
              (std::vector<std::string>{"wheel 30", "wheel -45", "hwheel 7", "hwheel -240"}));
}

// An absolute move would land both on one pixel. The motion is small enough
// to pass the default pointer settings unscaled.
TEST_F(Win32InputBatch, RelativeMovesGoByTheirDeltaFromWhereThePointerIs) {
    EXPECT_EQ(Send({InputEvent::MoveTo(200, 200), InputEvent::MoveBy(3, -2)}, 2),
              (std::vector<std::string>{Move(200, 200), Move(203, 198)}));
    EXPECT_EQ(Send({InputEvent::MoveTo(400, 100), InputEvent::MoveBy(3, -2)}, 2),
              (std::vector<std::string>{Move(400, 100), Move(403, 98)}));
}

// Left-hand virtual keys with the scan codes of a US keyboard (the Windows
// key's behind its E0), among the mouse input where they were sent; Alt and
// the Windows key, which open a menu when released alone, are released
// right after a tap of a key that means nothing.
TEST_F(Win32InputBatch, ModifierKeysGoDownAndUpAmongTheMouseInput) {
    Send({InputEvent::MoveTo(60, 70)}, 1);
    EXPECT_EQ(Send({InputEvent::Press(ModifierKey::Ctrl), InputEvent::Press(ModifierKey::Shift),
                    InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left),
                    InputEvent::Release(ModifierKey::Shift), InputEvent::Release(ModifierKey::Ctrl)},
                   6),
              (std::vector<std::string>{"key 0xa2 scan 29 down", "key 0xa0 scan 42 down", "left down at 60 70",
                                        "left up at 60 70", "key 0xa0 scan 42 up", "key 0xa2 scan 29 up"}));
    EXPECT_EQ(Send({InputEvent::Press(ModifierKey::Alt), InputEvent::Wheel(120), InputEvent::Release(ModifierKey::Alt),
                    InputEvent::Press(ModifierKey::Meta), InputEvent::MoveBy(2, 0),
                    InputEvent::Release(ModifierKey::Meta)},
                   10),
              (std::vector<std::string>{"key 0xa4 scan 56 down", "wheel 120", "key 0xe8 scan 0 down",
                                        "key 0xe8 scan 0 up", "key 0xa4 scan 56 up", "key 0x5b scan 91 extended down",
                                        Move(62, 70), "key 0xe8 scan 0 down", "key 0xe8 scan 0 up",
                                        "key 0x5b scan 91 extended up"}));
}

TEST(Win32Monitors, TheMonitorsCoverTheVirtualDesktopWithThePrimaryAtTheOrigin) {
    const std::vector<Monitor> monitors = GetMonitors();
    ASSERT_FALSE(monitors.empty());
    int primaries = 0;
    int left = monitors[0].x, top = monitors[0].y, right = left, bottom = top;
    for (const Monitor& monitor : monitors) {
        if (monitor.primary) {
            ++primaries;
            EXPECT_EQ(monitor.x, 0);
            EXPECT_EQ(monitor.y, 0);
            EXPECT_EQ(monitor.width, ::GetSystemMetrics(SM_CXSCREEN));
            EXPECT_EQ(monitor.height, ::GetSystemMetrics(SM_CYSCREEN));
        }
        left = std::min(left, monitor.x);
        top = std::min(top, monitor.y);
        right = std::max(right, monitor.x + monitor.width);
        bottom = std::max(bottom, monitor.y + monitor.height);
    }
    EXPECT_EQ(primaries, 1);
    EXPECT_EQ(left, ::GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(top, ::GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(right - left, ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(bottom - top, ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

TEST(Win32DoubleClickTime, IsTheSystemsCurrentSetting) {
    const UINT before = ::GetDoubleClickTime();
    ASSERT_TRUE(::SetDoubleClickTime(before == 321 ? 322 : 321));
    EXPECT_EQ(GetDoubleClickTimeMs(), static_cast<int>(::GetDoubleClickTime()));
    EXPECT_NE(GetDoubleClickTimeMs(), static_cast<int>(before));
    ::SetDoubleClickTime(before);
}

}  // namespace
