#include "platform/linux/wayland/XkbKeymap.h"

#include "platform/linux/OnDemandLibrary.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>

namespace platform::linux_input {
namespace {

// The functions of the library that the keymap needs.
struct XkbCommon {
    decltype(&::xkb_context_new) context_new = nullptr;
    decltype(&::xkb_context_unref) context_unref = nullptr;
    decltype(&::xkb_keymap_new_from_names) keymap_new_from_names = nullptr;
    decltype(&::xkb_keymap_unref) keymap_unref = nullptr;
    decltype(&::xkb_keymap_get_as_string) keymap_get_as_string = nullptr;
    decltype(&::xkb_keymap_mod_get_index) keymap_mod_get_index = nullptr;
};

XkbCommon gXkb;

bool Resolve(void* library, std::string& failure) {
    return OnDemandLibrary::Find(library, "xkb_context_new", gXkb.context_new, failure) &&
           OnDemandLibrary::Find(library, "xkb_context_unref", gXkb.context_unref, failure) &&
           OnDemandLibrary::Find(library, "xkb_keymap_new_from_names", gXkb.keymap_new_from_names, failure) &&
           OnDemandLibrary::Find(library, "xkb_keymap_unref", gXkb.keymap_unref, failure) &&
           OnDemandLibrary::Find(library, "xkb_keymap_get_as_string", gXkb.keymap_get_as_string, failure) &&
           OnDemandLibrary::Find(library, "xkb_keymap_mod_get_index", gXkb.keymap_mod_get_index, failure);
}

constexpr ModifierKey kModifierKeys[] = {ModifierKey::Ctrl, ModifierKey::Shift, ModifierKey::Alt, ModifierKey::Meta};

}  // namespace

const char* XkbModifierOf(ModifierKey key) {
    switch (key) {
        case ModifierKey::Shift: return XKB_MOD_NAME_SHIFT;
        case ModifierKey::Alt: return XKB_MOD_NAME_ALT;
        case ModifierKey::Meta: return XKB_MOD_NAME_LOGO;
        case ModifierKey::Ctrl: break;
    }
    return XKB_MOD_NAME_CTRL;
}

std::optional<XkbKeymap> BuildXkbKeymap(std::string& failure) {
    static OnDemandLibrary library("libxkbcommon.so.0", Resolve);
    if (!library.Load(failure)) return std::nullopt;
    const std::unique_ptr<xkb_context, decltype(gXkb.context_unref)> context(gXkb.context_new(XKB_CONTEXT_NO_FLAGS),
                                                                             gXkb.context_unref);
    if (context == nullptr) {
        failure = "libxkbcommon cannot make a context";
        return std::nullopt;
    }
    const xkb_rule_names defaults{};
    const std::unique_ptr<xkb_keymap, decltype(gXkb.keymap_unref)> keymap(
        gXkb.keymap_new_from_names(context.get(), &defaults, XKB_KEYMAP_COMPILE_NO_FLAGS), gXkb.keymap_unref);
    if (keymap == nullptr) {
        failure = "libxkbcommon cannot compile the default keymap (are the xkb-data files there?)";
        return std::nullopt;
    }
    XkbKeymap built;
    for (const ModifierKey key : kModifierKeys) {
        const xkb_mod_index_t index = gXkb.keymap_mod_get_index(keymap.get(), XkbModifierOf(key));
        if (index == XKB_MOD_INVALID || index >= 32) {
            failure = std::string("the default keymap has no modifier ") + XkbModifierOf(key);
            return std::nullopt;
        }
        built.masks[static_cast<std::size_t>(key)] = std::uint32_t{1} << index;
    }
    char* text = gXkb.keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    if (text == nullptr) {
        failure = "libxkbcommon cannot write the keymap out";
        return std::nullopt;
    }
    built.text = text;
    std::free(text);
    return built;
}

std::uint32_t DepressedMask(const XkbKeymap& keymap, const ModifierSet& held) {
    std::uint32_t mask = 0;
    for (const ModifierKey key : kModifierKeys) {
        const auto index = static_cast<std::size_t>(key);
        if (held[index]) mask |= keymap.masks[index];
    }
    return mask;
}

}  // namespace platform::linux_input
