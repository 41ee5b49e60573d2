#include "plugin/key/commands/KeyPressCommands.h"

#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/AutoclickToggle.h"
#include "plugin/key/commands/DoubleClick.h"
#include "plugin/key/commands/HeldCommands.h"
#include "plugin/key/runs/KeyFeedback.h"
#include "plugin/key/commands/JiggleToggle.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/MouseCommandExecutor.h"
#include "plugin/key/commands/PointerCommands.h"
#include "plugin/key/commands/PositionCommands.h"
#include "plugin/key/commands/StepSequence.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "support/Log.h"

#include <atomic>

using platform::MouseButton;

namespace {

void Toggle(const KeyPress& press, MouseButton button) {
    const bool locked = press.toggles.Press(press.context, press.device, button, press.active.modifiers);
    press.feedback.ShowKeyImage(press.context, locked ? KeyFeedback::Image::Held : KeyFeedback::Image::Own);
}

struct ImmediateCommand {
    const char* name;
    void (*perform)(const KeyPress&, MouseButton);
    MouseButton button;  // the button of a double-click or toggle
};

const ImmediateCommand kImmediateCommands[] = {
    {"MOUSE_LEFT_DOUBLE_CLICK", DoubleClick, MouseButton::Left},
    {"MOUSE_MIDDLE_DOUBLE_CLICK", DoubleClick, MouseButton::Middle},
    {"MOUSE_RIGHT_DOUBLE_CLICK", DoubleClick, MouseButton::Right},
    {"MOUSE_LEFT_TOGGLE", Toggle, MouseButton::Left},
    {"MOUSE_MIDDLE_TOGGLE", Toggle, MouseButton::Middle},
    {"MOUSE_RIGHT_TOGGLE", Toggle, MouseButton::Right},
    {"MOUSE_CLICK_AT", ClickAt, MouseButton::Left},
    {"MOUSE_CURSOR_NUDGE", Nudge, MouseButton::Left},
    {"MOUSE_SEQUENCE", RunSequence, MouseButton::Left},
    {"MOUSE_POS_SAVE", SavePosition, MouseButton::Left},
    {"MOUSE_POS_RESTORE", RestorePosition, MouseButton::Left},
    {"MOUSE_CURSOR_MOVE", StartHeldCommand, MouseButton::Left},
    {"MOUSE_WHEEL_HOLD", StartHeldCommand, MouseButton::Left},
    {"MOUSE_HWHEEL_HOLD", StartHeldCommand, MouseButton::Left},
    {"MOUSE_AUTOCLICK_HOLD", StartHeldCommand, MouseButton::Left},
    {"MOUSE_AUTOCLICK_TOGGLE", AutoclickToggle, MouseButton::Left},
    {kJiggleCommand, JiggleToggle, MouseButton::Left},
};

const ImmediateCommand* FindImmediateCommand(const std::string& name) {
    for (const ImmediateCommand& command : kImmediateCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// Windows drops injected input bound for a process of a higher integrity
// level without a word; the user would only see nothing happen.
void WarnWhenOutOfReach(const KeyPress& press) {
    if (!platform::IsForegroundWindowElevated()) return;
    press.feedback.ShowAlert(press.context);
    static std::atomic<bool> logged{false};
    if (!logged.exchange(true)) {
        LogLine("The window in the foreground runs as administrator: Windows keeps the mouse input of a key "
                "from it unless deckmouse runs as administrator too");
    }
}

}  // namespace

void PerformKeyPress(const KeyPress& press) {
    WarnWhenOutOfReach(press);
    const ImmediateCommand* command = FindImmediateCommand(press.active.commandName);
    if (command == nullptr) {
        ExecuteMouseCommand(press.stop);
    } else {
        command->perform(press, command->button);
    }
}

bool RunsPasses(const std::string& commandName) { return FindImmediateCommand(commandName) == nullptr; }

bool IsToggleCommand(const std::string& commandName) {
    const ImmediateCommand* command = FindImmediateCommand(commandName);
    return command != nullptr && command->perform == Toggle;
}
