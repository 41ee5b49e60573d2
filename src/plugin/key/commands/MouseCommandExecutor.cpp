#include "plugin/key/commands/MouseCommandExecutor.h"

#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/ModifierScope.h"
#include "plugin/MouseInjection.h"
#include "plugin/key/commands/PointerCommands.h"
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
    MouseButton button;          // clicks only
};

const PassCommand kPassCommands[] = {
    {"MOUSE_LEFT_CLICK", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0, MouseButton::Left},
    {"MOUSE_MIDDLE_CLICK", MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0, MouseButton::Middle},
    {"MOUSE_RIGHT_CLICK", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0, MouseButton::Right},
    {"MOUSE_X1_CLICK", MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1, MouseButton::X1},
    {"MOUSE_X2_CLICK", MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2, MouseButton::X2},
    {"MOUSE_WHEEL_UP", MOUSEEVENTF_WHEEL, 0, 0, MouseButton::Left},
    {"MOUSE_WHEEL_DOWN", MOUSEEVENTF_WHEEL, 0, 0, MouseButton::Left},
    {"MOUSE_HWHEEL_UP", MOUSEEVENTF_HWHEEL, 0, 0, MouseButton::Left},
    {"MOUSE_HWHEEL_DOWN", MOUSEEVENTF_HWHEEL, 0, 0, MouseButton::Left},
};

// Performed once, after all passes: one button transition, held or let go
// for every key's down and up commands together.
struct ButtonCommand {
    const char* name;
    std::uint32_t flags;
    std::int32_t data;
    MouseButton button;
    bool down;
};

const ButtonCommand kButtonCommands[] = {
    {"MOUSE_LEFT_DOWN", MOUSEEVENTF_LEFTDOWN, 0, MouseButton::Left, true},
    {"MOUSE_LEFT_UP", MOUSEEVENTF_LEFTUP, 0, MouseButton::Left, false},
    {"MOUSE_MIDDLE_DOWN", MOUSEEVENTF_MIDDLEDOWN, 0, MouseButton::Middle, true},
    {"MOUSE_MIDDLE_UP", MOUSEEVENTF_MIDDLEUP, 0, MouseButton::Middle, false},
    {"MOUSE_RIGHT_DOWN", MOUSEEVENTF_RIGHTDOWN, 0, MouseButton::Right, true},
    {"MOUSE_RIGHT_UP", MOUSEEVENTF_RIGHTUP, 0, MouseButton::Right, false},
    {"MOUSE_X1_DOWN", MOUSEEVENTF_XDOWN, XBUTTON1, MouseButton::X1, true},
    {"MOUSE_X1_UP", MOUSEEVENTF_XUP, XBUTTON1, MouseButton::X1, false},
    {"MOUSE_X2_DOWN", MOUSEEVENTF_XDOWN, XBUTTON2, MouseButton::X2, true},
    {"MOUSE_X2_UP", MOUSEEVENTF_XUP, XBUTTON2, MouseButton::X2, false},
};

template <typename Command, std::size_t N>
const Command* FindCommand(const Command (&commands)[N], const std::string& name) {
    for (const Command& command : commands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// A click holds its button for its key while it lasts, so that it neither
// lets go of a button another holder keeps down nor is let go by one. False
// when a stop cut the press short; the button goes up then too.
bool PerformPass(const PassCommand& command, const ActiveMouseCommand& active, const StopSignal& stop) {
    if (command.releaseFlags == 0) {
        InjectMouseEvent(command.flags, active.wheelAmount);
        return true;
    }
    const HeldButtons::Send send = [&command](MouseButton, bool down) {
        InjectMouseEvent(down ? command.flags : command.releaseFlags, command.data);
    };
    HeldInput().Hold(ClickHolder(active.context), command.button, {}, send);
    const bool waited = stop.Wait(active.pauseMs);
    HeldInput().Release(ClickHolder(active.context), command.button, send);
    return waited;
}

// A down command's modifiers stay down with the buttons of the down
// commands (a Ctrl+drag held by two keys) and come up with the last of them;
// an up command's own modifiers do nothing. They ride in a batch of their
// own, as the button goes through mouse_event.
void PerformButtonCommand(const ButtonCommand& command, const ActiveMouseCommand& active) {
    const HeldButtons::Send send = [&command](MouseButton, bool) { InjectMouseEvent(command.flags, command.data); };
    if (command.down) {
        HeldInput().HoldModifiers(kButtonCommandHolder, active.modifiers);
        HeldInput().Hold(kButtonCommandHolder, command.button, {}, send);
        return;
    }
    HeldInput().Release(kButtonCommandHolder, command.button, send);
    if (!HeldInput().HoldsButtons(kButtonCommandHolder)) HeldInput().ReleaseModifiers(kButtonCommandHolder);
}

// SetCursorPos is no batch: the modifiers ride in batches of their own around it.
void PlaceCursor(const ActiveMouseCommand& active, int x, int y) {
    ModifierScope modifiers(ClickHolder(active.context), active.modifiers);
    MoveCursorTo(x, y);
}

void PerformSingleShot(const ActiveMouseCommand& active) {
    if (const ButtonCommand* command = FindCommand(kButtonCommands, active.commandName)) {
        PerformButtonCommand(*command, active);
    } else if (active.commandName == "MOUSE_CURSOR_POS") {
        if (!active.monitor.empty()) return PlaceOnChosenMonitor(active, MonitorSpot::Offsets);
        PlaceCursor(active, active.offsetX, active.offsetY);
    } else if (active.commandName == "MOUSE_CURSOR_RESET") {
        if (!active.monitor.empty()) return PlaceOnChosenMonitor(active, MonitorSpot::Centre);
        const int width = GetSystemMetrics(SM_CXSCREEN);
        const int height = GetSystemMetrics(SM_CYSCREEN);
        PlaceCursor(active, width / 2, height / 2);
    }
}

// The modifiers of a click or wheel go down just before the first pass's
// input and up just after the last pass's, before its wait; a stop lets go
// of them at once. The passes inject through mouse_event, so the keys ride
// in batches of their own right before and after.
void PerformPasses(const PassCommand* pass, const ActiveMouseCommand& active, const StopSignal& stop) {
    ModifierScope modifiers(ClickHolder(active.context), pass != nullptr ? active.modifiers : Modifiers{});
    for (std::int32_t i = 0; i < active.passCount; ++i) {
        if (pass != nullptr && !PerformPass(*pass, active, stop)) return;
        if (i + 1 == active.passCount) modifiers.End();
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
