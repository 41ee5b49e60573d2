#pragma once

#include "platform/Platform.h"
#include "plugin/ModifierSetting.h"

#include <string>
#include <vector>

// How a command runs its input with its key's "my_modifiers" (the parsed
// keys: ActiveMouseCommand::modifiers, or ParseModifierSetting). Both hold the
// keys in the owner of held input (HeldInput()), so that a key another holder
// keeps down (a drag lock's Shift) is neither pressed twice nor let go of
// under it, and every way out that lets go of a holder (LetGo: a key's or
// device's end) releases them too. With no keys, both send exactly the input
// they are given, as the commands did before modifiers.
//
// A command of several inputs, or of waits between them, holds a scope:
//
//     ModifierScope modifiers(ClickHolder(press.context), press.active.modifiers, press.device);
//     ... clicks, moves, waits ...
//     modifiers.End();  // just after the last input; the destructor does it otherwise
//
// The presses go down as the scope starts (one batch of their own, just
// before the command's first input) and come up at End or when the scope
// goes, whatever way the command leaves (a stop, an exception), the last
// pressed first. Buttons the command holds under the same holder
// (HeldInput().Hold / Release) do not take the keys with them; a LetGo of
// the holder does, and the scope then has nothing left to let go of. Which
// holder: the key's ClickHolder for input that ends with the press; input
// that outlives the press (a drag lock, a toggled autoclick) holds its keys
// through HeldInput().HoldModifiers under a holder of its own named after the
// key (LockHolder for a drag lock: ToggleLocks takes any hold of it for a
// lock), and whatever ends it lets go with HeldInput().LetGo(that holder).
class ModifierScope {
public:
    ModifierScope(std::string holder, const Modifiers& modifiers, const std::string& device = {});
    ~ModifierScope();
    ModifierScope(const ModifierScope&) = delete;
    ModifierScope& operator=(const ModifierScope&) = delete;

    // Lets go of the keys now; later calls and the destructor do nothing.
    void End();

private:
    std::string holder;
    bool held;
};

// A command whose input is one batch puts its keys in that batch: presses
// first, `events`, releases last (one SendInput on Windows), for the keys no
// holder keeps down already. What InjectInputBatch says.
bool InjectWithModifiers(const Modifiers& modifiers, const std::vector<platform::InputEvent>& events);
