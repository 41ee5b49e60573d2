#include "plugin/key/commands/PositionCommands.h"

#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/runs/KeyFeedback.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/ModifierScope.h"
#include "plugin/SavedPositions.h"
#include "support/Log.h"

#include <optional>
#include <string>

namespace {

std::optional<std::string> SlotOf(const KeyPress& press) {
    const std::optional<std::string> slot = ParseSlotSetting(press.active.slot);
    if (!slot) {
        LogLine("No slot \"" + EscapeControlCharacters(press.active.slot) + "\": " + press.active.commandName +
                " does nothing");
    }
    return slot;
}

}  // namespace

void SavePosition(const KeyPress& press, platform::MouseButton) {
    const std::optional<std::string> slot = SlotOf(press);
    if (!slot) return;
    platform::Point position;
    if (!platform::GetCursorPos(position)) {
        press.feedback.ShowAlert(press.context);
        LogLine("The system does not tell where the pointer is: MOUSE_POS_SAVE saves nothing");
        return;
    }
    switch (press.positions.Save(*slot, position, press.stop)) {
        case SavedPositions::SaveOutcome::kStored:
        case SavedPositions::SaveOutcome::kStopped:  // the key or the plugin is going: nobody to tell
            return;
        case SavedPositions::SaveOutcome::kNoAnswer:
            press.feedback.ShowAlert(press.context);
            LogLine("The host did not send the plugin's global settings within " +
                    std::to_string(SavedPositions::kFirstAnswerWaitMs) +
                    " ms: MOUSE_POS_SAVE saves nothing rather than overwrite them");
            return;
        case SavedPositions::SaveOutcome::kUnreadable:
            press.feedback.ShowAlert(press.context);
            LogLine("The host's global settings could not be read: MOUSE_POS_SAVE saves nothing rather than "
                    "overwrite them");
            return;
    }
}

void RestorePosition(const KeyPress& press, platform::MouseButton) {
    const std::optional<std::string> slot = SlotOf(press);
    if (!slot) return;
    const std::optional<platform::Point> position = press.positions.Slot(*slot);
    if (!position) {
        press.feedback.ShowAlert(press.context);
        return;
    }
    InjectWithModifiers(press.active.modifiers, {platform::InputEvent::MoveTo(position->x, position->y)});
}
