// The virtual keyboard's keymap, read back as a compositor reads it: each
// modifier's Linux code, pressed in that keymap, sets the mask the keyboard
// sends beside it. A wrong code, a wrong modifier name or a keymap that
// lost its modifiers fails here rather than on a desktop.
#include "platform/linux/EvdevModifierKey.h"
#include "platform/linux/wayland/XkbKeymap.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

using namespace platform;
using namespace platform::linux_input;

namespace {

// xkb keycodes are the Linux ones moved up by 8, as X11 had them.
constexpr xkb_keycode_t kXkbOffset = 8;

ModifierSet Holding(std::initializer_list<ModifierKey> keys) {
    ModifierSet held{};
    for (const ModifierKey key : keys) held[static_cast<std::size_t>(key)] = true;
    return held;
}

TEST(XkbKeymap, EachModifierKeysCodeSetsTheMaskSentBesideIt) {
    std::string failure;
    const std::optional<XkbKeymap> keymap = BuildXkbKeymap(failure);
    ASSERT_TRUE(keymap) << failure;

    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                             xkb_context_unref);
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> compiled(
        xkb_keymap_new_from_string(context.get(), keymap->text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                   XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    ASSERT_NE(compiled, nullptr) << "the text does not compile again";

    const struct {
        ModifierKey key;
        std::uint32_t code;
        const char* symbol;
        const char* modifier;
    } cases[] = {
        {ModifierKey::Ctrl, 29, "Control_L", "Control"},
        {ModifierKey::Shift, 42, "Shift_L", "Shift"},
        {ModifierKey::Alt, 56, "Alt_L", "Mod1"},
        {ModifierKey::Meta, 125, "Super_L", "Mod4"},
    };
    for (const auto& [key, code, symbol, modifier] : cases) {
        SCOPED_TRACE(symbol);
        EXPECT_EQ(EvdevKeyOf(key), code);
        EXPECT_STREQ(XkbModifierOf(key), modifier);
        const std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(compiled.get()),
                                                                            xkb_state_unref);
        char name[64] = {};
        xkb_keysym_get_name(xkb_state_key_get_one_sym(state.get(), code + kXkbOffset), name, sizeof name);
        EXPECT_STREQ(name, symbol);
        xkb_state_update_key(state.get(), code + kXkbOffset, XKB_KEY_DOWN);
        const std::uint32_t mask = DepressedMask(*keymap, Holding({key}));
        EXPECT_NE(mask, 0u);
        EXPECT_EQ(xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED), mask);
    }
}

TEST(XkbKeymap, TheMaskIsTheUnionOfTheKeysHeld) {
    std::string failure;
    const std::optional<XkbKeymap> keymap = BuildXkbKeymap(failure);
    ASSERT_TRUE(keymap) << failure;
    const auto bit = [&](ModifierKey key) { return keymap->masks[static_cast<std::size_t>(key)]; };
    const struct {
        const char* what;
        ModifierSet held;
        std::uint32_t mask;
    } cases[] = {
        {"none", Holding({}), 0},
        {"ctrl", Holding({ModifierKey::Ctrl}), bit(ModifierKey::Ctrl)},
        {"ctrl+shift", Holding({ModifierKey::Ctrl, ModifierKey::Shift}), bit(ModifierKey::Ctrl) | bit(ModifierKey::Shift)},
        {"all four", Holding({ModifierKey::Ctrl, ModifierKey::Shift, ModifierKey::Alt, ModifierKey::Meta}),
         bit(ModifierKey::Ctrl) | bit(ModifierKey::Shift) | bit(ModifierKey::Alt) | bit(ModifierKey::Meta)},
    };
    for (const auto& [what, held, mask] : cases) EXPECT_EQ(DepressedMask(*keymap, held), mask) << what;
    // Four different modifiers, one bit each.
    const std::uint32_t all = DepressedMask(*keymap, cases[3].held);
    EXPECT_EQ(__builtin_popcount(all), 4) << std::hex << all;
}

}  // namespace
