#pragma once

#include <optional>
#include <string>

// The "event" of a host message that is no JSON document (a lone UTF-16
// surrogate in a setting, a number no double holds, a cut frame), when the
// outermost object names it, as a text, before the fault. Nothing when the
// fault comes first, or anywhere else: which message that was cannot be told.
std::optional<std::string> EventOfBrokenMessage(const std::string& text);
