#include "plugin/GuardianMessages.h"

namespace {

constexpr std::uint8_t kFirstByte = 0x80;
constexpr std::uint8_t kGoodbye = 0x40;
// What a first byte may carry beside its mark, and a second byte at all.
constexpr std::uint8_t kButtonBits = (1u << HeldSet::kButtonCount) - 1;
constexpr std::uint8_t kKeyBits = (1u << HeldSet::kKeyCount) - 1;

}  // namespace

GuardianRecord HeldRecord(const HeldSet& held) {
    return {static_cast<std::uint8_t>(kFirstByte | held.ButtonBits()), held.KeyBits()};
}

GuardianRecord GoodbyeRecord() { return {kFirstByte | kGoodbye, 0}; }

void GuardedInput::Read(std::uint8_t byte) {
    if (goodbye) return;
    if ((byte & kFirstByte) != 0) {
        first = byte;
        return;
    }
    const std::optional<std::uint8_t> started = first;
    first.reset();
    if (!started || (byte & ~kKeyBits) != 0) return;
    if (*started == (kFirstByte | kGoodbye) && byte == 0) {
        goodbye = true;
    } else if ((*started & ~(kFirstByte | kButtonBits)) == 0) {
        held = HeldSet(*started & kButtonBits, byte);
    }
}

std::vector<platform::InputEvent> GuardedInput::Releases() const {
    std::vector<platform::InputEvent> releases;
    for (int button = 0; button < HeldSet::kButtonCount; ++button) {
        const auto which = static_cast<platform::MouseButton>(button);
        if (held.Holds(which)) releases.push_back(platform::InputEvent::Up(which));
    }
    for (int key = HeldSet::kKeyCount - 1; key >= 0; --key) {
        const auto which = static_cast<platform::ModifierKey>(key);
        if (held.Holds(which)) releases.push_back(platform::InputEvent::Release(which));
    }
    return releases;
}
