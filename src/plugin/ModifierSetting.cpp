#include "plugin/ModifierSetting.h"

#include <cctype>

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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string Trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && IsBlank(text[first])) ++first;
    while (end > first && IsBlank(text[end - 1])) --end;
    return text.substr(first, end - first);
}

std::string UpperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::optional<ModifierKey> KeyNamed(const std::string& word) {
    const std::string upper = UpperCase(word);
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
        const std::string word = Trimmed(text.substr(start, end - start));
        if (!word.empty()) {
            const std::optional<ModifierKey> key = KeyNamed(word);
            if (!key) return {{}, word};
            setting.keys.insert(*key);
        }
        start = end + 1;
    }
    return setting;
}
