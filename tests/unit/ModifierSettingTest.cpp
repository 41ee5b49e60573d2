#include "plugin/ModifierSetting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using platform::ModifierKey;

namespace {

struct ModifierCase {
    const char* text;
    Modifiers keys;
    std::optional<std::string> unknownWord;
};

TEST(ModifierSetting, ReadsTheWordsAndNamesTheFirstUnknownOne) {
    const ModifierKey C = ModifierKey::Ctrl;
    const ModifierKey S = ModifierKey::Shift;
    const ModifierKey A = ModifierKey::Alt;
    const ModifierKey M = ModifierKey::Meta;
    const ModifierCase cases[] = {
        // Keys set up before the member existed, and a page that cleared every box.
        {"", {}, std::nullopt},
        {"  ", {}, std::nullopt},
        {"+", {}, std::nullopt},
        {"CTRL", {C}, std::nullopt},
        {"SHIFT", {S}, std::nullopt},
        {"ALT", {A}, std::nullopt},
        {"META", {M}, std::nullopt},
        {"CTRL+SHIFT+ALT+META", {C, S, A, M}, std::nullopt},
        {"META+ALT+SHIFT+CTRL", {C, S, A, M}, std::nullopt},
        {"ctrl+Shift", {C, S}, std::nullopt},
        {" CTRL + ALT ", {C, A}, std::nullopt},
        {"CTRL+CTRL", {C}, std::nullopt},
        {"CTRL+", {C}, std::nullopt},
        {"CTRL++ALT", {C, A}, std::nullopt},
        {"CONTROL", {}, "CONTROL"},
        {"CTRL+WIN", {}, "WIN"},
        {"CTRL+SHIFT+CMD+FOO", {}, "CMD"},
        {"CTRL SHIFT", {}, "CTRL SHIFT"},
        {"CTRL,SHIFT", {}, "CTRL,SHIFT"},
        {"CTRLX", {}, "CTRLX"},
        {"SHIFT+\x01", {}, "\x01"},
        {"C", {}, "C"},
    };
    for (const ModifierCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        const ModifierSetting setting = ParseModifierSetting(c.text);
        EXPECT_EQ(setting.keys, c.keys);
        EXPECT_EQ(setting.unknownWord, c.unknownWord);
    }
}

}  // namespace
