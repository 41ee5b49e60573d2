#include "plugin/ModifierSetting.h"

#include "support/AsciiText.h"

using platform::ModifierKey;

namespace {

struct ModifierName {
    const char* name;
    ModifierKey key;
};

const ModifierName kModifierNames[] = {
    {"CTRL", ModifierKey::Ctrl},
    {"SHIFT", ModifierKey::Shift},
    {"ALT", ModifierKey::Alt},
    {"META", ModifierKey::Meta},
};

std::optional<ModifierKey> KeyNamed(const std::string& word) {
    const std::string upper = AsciiUpperCase(word);
    for (const ModifierName& name : kModifierNames) {
        if (upper == name.name) return name.key;
    }
    return std::nullopt;
}

}  // namespace

ModifierSetting ParseModifierSetting(const std::string& text) {
    ModifierSetting setting;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t plus = text.find('+', start);
        const std::size_t end = plus == std::string::npos ? text.size() : plus;
        const std::string word = TrimAsciiSpace(text.substr(start, end - start));
        if (!word.empty()) {
            const std::optional<ModifierKey> key = KeyNamed(word);
            if (!key) return {{}, word};
            setting.keys.insert(*key);
        }
        start = end + 1;
    }
    return setting;
}
