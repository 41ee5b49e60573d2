#include "plugin/key/MouseCommandExecutor.h"

#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/MouseInjection.h"
#include "plugin/key/PointerCommands.h"
#include "plugin/StopSignal.h"

#include <cstdint>
#include <string>

namespace {

using namespace platform;

// Performed once in every pass. A click presses, waits pauseMs and releases;
// a wheel turns by the wheel amount, whose sign alone gives the direction.
struct PassCommand {
    const char* name;
    std::uint32_t flags;
    std::uint32_t releaseFlags;  // clicks only
    std::int32_t data;           // the extra button of a click
};

const PassCommand kPassCommands[] = {
    {"MOUSE_LEFT_CLICK", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0},
    {"MOUSE_MIDDLE_CLICK", MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0},
    {"MOUSE_RIGHT_CLICK", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0},
    {"MOUSE_X1_CLICK", MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1},
    {"MOUSE_X2_CLICK", MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2},
    {"MOUSE_WHEEL_UP", MOUSEEVENTF_WHEEL, 0, 0},
    {"MOUSE_WHEEL_DOWN", MOUSEEVENTF_WHEEL, 0, 0},
    {"MOUSE_HWHEEL_UP", MOUSEEVENTF_HWHEEL, 0, 0},
    {"MOUSE_HWHEEL_DOWN", MOUSEEVENTF_HWHEEL, 0, 0},
};

// Performed once, after all passes: one button transition.
struct ButtonCommand {
    const char* name;
    std::uint32_t flags;
    std::int32_t data;
};

const ButtonCommand kButtonCommands[] = {
    {"MOUSE_LEFT_DOWN", MOUSEEVENTF_LEFTDOWN, 0},     {"MOUSE_LEFT_UP", MOUSEEVENTF_LEFTUP, 0},
    {"MOUSE_MIDDLE_DOWN", MOUSEEVENTF_MIDDLEDOWN, 0}, {"MOUSE_MIDDLE_UP", MOUSEEVENTF_MIDDLEUP, 0},
    {"MOUSE_RIGHT_DOWN", MOUSEEVENTF_RIGHTDOWN, 0},   {"MOUSE_RIGHT_UP", MOUSEEVENTF_RIGHTUP, 0},
    {"MOUSE_X1_DOWN", MOUSEEVENTF_XDOWN, XBUTTON1},   {"MOUSE_X1_UP", MOUSEEVENTF_XUP, XBUTTON1},
    {"MOUSE_X2_DOWN", MOUSEEVENTF_XDOWN, XBUTTON2},   {"MOUSE_X2_UP", MOUSEEVENTF_XUP, XBUTTON2},
};

template <typename Command, std::size_t N>
const Command* FindCommand(const Command (&commands)[N], const std::string& name) {
    for (const Command& command : commands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// False when a stop cut the press short: the button stays down for the end
// of input to release.
bool PerformPass(const PassCommand& command, const ActiveMouseCommand& active, const StopSignal& stop) {
    if (command.releaseFlags == 0) {
        InjectMouseEvent(command.flags, active.wheelAmount);
        return true;
    }
    InjectMouseEvent(command.flags, command.data);
    if (!stop.Wait(active.pauseMs)) return false;
    InjectMouseEvent(command.releaseFlags, command.data);
    return true;
}

void PerformSingleShot(const ActiveMouseCommand& active) {
    if (const ButtonCommand* button = FindCommand(kButtonCommands, active.commandName)) {
        InjectMouseEvent(button->flags, button->data);
    } else if (active.commandName == "MOUSE_CURSOR_POS") {
        if (!active.monitor.empty()) return PlaceOnChosenMonitor(active, MonitorSpot::Offsets);
        MoveCursorTo(active.offsetX, active.offsetY);
    } else if (active.commandName == "MOUSE_CURSOR_RESET") {
        if (!active.monitor.empty()) return PlaceOnChosenMonitor(active, MonitorSpot::Centre);
        const int width = GetSystemMetrics(SM_CXSCREEN);
        const int height = GetSystemMetrics(SM_CYSCREEN);
        MoveCursorTo(width / 2, height / 2);
    }
}

void PerformPasses(const PassCommand* pass, const ActiveMouseCommand& active, const StopSignal& stop) {
    for (std::int32_t i = 0; i < active.passCount; ++i) {
        if (pass != nullptr && !PerformPass(*pass, active, stop)) return;
        if (!stop.Wait(kPassWaitMs)) return;
    }
    PerformSingleShot(active);
}

}  // namespace

void ExecuteMouseCommand(const StopSignal& stop) {
    const ActiveMouseCommand active = GetActiveMouseCommand();
    const PassCommand* pass = FindCommand(kPassCommands, active.commandName);
    PerformPasses(pass, active, stop);
    // A wheel command's passes may leave part of a notch: it ends with them.
    if (pass != nullptr && pass->releaseFlags == 0) EndCommandWheelInput();
}
