#pragma once

#include "platform/Platform.h"
#include "plugin/HeldSet.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// What the plugin tells its guardian: records of two bytes, each the whole
// set of buttons and modifier keys that may be down, never a change to the
// last one. A record lost to a full pipe is made good by the next; the
// guardian, when the plugin is gone, lets go of what the last whole record
// it read says.
//
// The first byte has its top bit set and carries the buttons (bit i for
// MouseButton i), or says goodbye (0x40: the plugin released all it held and
// ends); the second has it clear and carries the keys (bit i for
// ModifierKey i). So a reader that finds half a record (a write cut short,
// bytes lost) knows it for what it is and waits for the next first byte.
using GuardianRecord = std::array<std::uint8_t, 2>;

GuardianRecord HeldRecord(const HeldSet& held);
GuardianRecord GoodbyeRecord();

// The guardian's side: reads the records byte by byte, however the pipe
// splits them.
class GuardedInput {
public:
    // Bytes that make no whole record change nothing; nor does anything
    // after the goodbye.
    void Read(std::uint8_t byte);

    bool SaidGoodbye() const { return goodbye; }

    // One batch that lets go of what the last record holds: an Up for each
    // button, in MouseButton's order, then a Release for each key, the last
    // of ModifierKey's order first (the reverse of the order a command
    // presses them in), so that the buttons come up while the keys still
    // modify them.
    std::vector<platform::InputEvent> Releases() const;

private:
    HeldSet held;
    std::optional<std::uint8_t> first;  // a record's first byte, its second still to come
    bool goodbye = false;
};
