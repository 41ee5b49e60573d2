#pragma once

#include "platform/Platform.h"

#include <optional>
#include <set>
#include <string>

// The modifier keys a command holds around its input. Ordered as they go
// down: Ctrl, Shift, Alt, Meta (the order the settings page writes them in).
using Modifiers = std::set<platform::ModifierKey>;

// What "my_modifiers" says: the keys, or the first word that names none.
struct ModifierSetting {
    Modifiers keys;
    std::optional<std::string> unknownWord;  // set: the key's press must do nothing
};

// "my_modifiers": words CTRL, SHIFT, ALT, META joined by "+", in any order
// and any case, blanks around them ignored, a word given twice taken once.
// Empty (or only "+" and blanks): no keys, as for keys set up before the
// member existed. Any other word is unknown.
ModifierSetting ParseModifierSetting(const std::string& text);
