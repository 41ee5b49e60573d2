#include "support/Localizer.h"

#include "support/JsonMembers.h"
#include "platform/Platform.h"
#include "support/PluginPaths.h"

#include <cstdio>

Localizer* gLocalizer = nullptr;

Localizer::Localizer(const std::string& language) {
    try {
        const std::string folder = GetPluginFolder();
        if (language.empty() || folder.empty()) return;
        const platform::UniqueFile file = platform::OpenRegularFile(JoinPath(folder, language + ".json")).file;
        if (!file) return;
        GetObjectMember(ParseJsonDocument(file.get()), "Localization", table);
    } catch (...) {
        // An unreadable or malformed file leaves the table null, which is all
        // the plugin needs to know.
    }
}

std::string Localize(const std::string& english) {
    if (gLocalizer == nullptr) return english;
    return GetStringMember(gLocalizer->Table(), english, english);
}
