#pragma once

// What the X11 backend's files share: the display connection, the way
// Windows buttons and wheel amounts become X buttons, and what the X11 input
// path is made of.
#include "platform/Platform.h"
#include "platform/WheelNotches.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace platform::x11 {

// X core buttons for what Windows calls left, middle, right, X1 and X2; the
// wheels are buttons too, one click per notch.
constexpr unsigned int kLeftButton = 1;
constexpr unsigned int kMiddleButton = 2;
constexpr unsigned int kRightButton = 3;
constexpr unsigned int kWheelForwardButton = 4;
constexpr unsigned int kWheelBackwardButton = 5;
constexpr unsigned int kWheelLeftButton = 6;
constexpr unsigned int kWheelRightButton = 7;
constexpr unsigned int kX1Button = 8;
constexpr unsigned int kX2Button = 9;

class Session {
public:
    // The display is opened on first use, not at start-up, so registration
    // with the host never waits for the X server. Null display when there is
    // none, or it lacks XTest.
    static Session& Get();

    std::mutex mutex;  // Xlib is used from the event thread and the keys' threads
    Display* display = nullptr;
    WheelRemainders remainders;
    // One per ModifierKey, in its order: whether the log has said that the
    // server's keymap has no key for it.
    bool keyMissingReported[static_cast<std::size_t>(ModifierKey::Meta) + 1] = {};

private:
    Session();
};

void SetButton(Display* display, unsigned int button, bool pressed);

// Presses or releases the key the server's keymap gives the left-hand
// modifier (Control_L, Shift_L, Alt_L, Super_L). A keymap without one leaves
// it out, and the log says so once per key.
void SetModifierKey(Session& session, ModifierKey key, bool pressed);

// Turns a signed amount into whole notches, keeping what is left of a notch
// for the next event of the same wheel, as a high-resolution wheel would.
void Scroll(Display* display, long long& remainder, std::int32_t amount, unsigned int positiveButton,
            unsigned int negativeButton);

// SendInputBatch over XTest: one run of requests ended by one XSync.
bool SendBatch(const std::vector<InputEvent>& events);

// Drops the wheels' remainders.
void EndWheelInput();

// GetMonitors from RandR, or the whole screen.
std::vector<Monitor> Monitors();

// GetCursorPos from the root window.
bool ReadPointer(Point& point);

// GetSystemMetrics: the size of the whole X screen.
int ScreenMetric(int index);

}  // namespace platform::x11
