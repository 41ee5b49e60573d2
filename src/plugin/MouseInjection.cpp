#include "plugin/MouseInjection.h"

#include "platform/Platform.h"

#include <iterator>

namespace {

struct Button {
    std::uint32_t downFlag;
    std::uint32_t upFlag;
    std::int32_t data;  // the extra button a shared X flag names; 0 otherwise
};

const Button kButtons[] = {
    {platform::MOUSEEVENTF_LEFTDOWN, platform::MOUSEEVENTF_LEFTUP, 0},
    {platform::MOUSEEVENTF_RIGHTDOWN, platform::MOUSEEVENTF_RIGHTUP, 0},
    {platform::MOUSEEVENTF_MIDDLEDOWN, platform::MOUSEEVENTF_MIDDLEUP, 0},
    {platform::MOUSEEVENTF_XDOWN, platform::MOUSEEVENTF_XUP, platform::XBUTTON1},
    {platform::MOUSEEVENTF_XDOWN, platform::MOUSEEVENTF_XUP, platform::XBUTTON2},
};

bool pressed[std::size(kButtons)] = {};

// The X flags serve both extra buttons; the data tells which.
bool Concerns(const Button& button, std::int32_t data) {
    return button.data == 0 || (data & button.data) != 0;
}

}  // namespace

void InjectMouseEvent(std::uint32_t flags, std::int32_t data) {
    platform::mouse_event(flags, 0, 0, data, 0);
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        const Button& button = kButtons[i];
        if (!Concerns(button, data)) continue;
        if (flags & button.downFlag) pressed[i] = true;
        if (flags & button.upFlag) pressed[i] = false;
    }
}

void ReleasePressedButtons() {
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        if (pressed[i]) InjectMouseEvent(kButtons[i].upFlag, kButtons[i].data);
    }
}
