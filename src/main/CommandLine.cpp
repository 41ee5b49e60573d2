#include "main/CommandLine.h"

#include "support/JsonMembers.h"

#include <cstdlib>

std::optional<CommandLine> ParseCommandLine(int argc, const char* const argv[]) {
    if (argc != 9) return std::nullopt;
    CommandLine line;
    // Strictly by position, so a value that begins with a dash is still a value.
    for (int pair = 0; pair < 4; ++pair) {
        const std::string name = argv[2 * pair + 1];
        const char* value = argv[2 * pair + 2];
        if (name == "-port") {
            line.port = std::atoi(value);
        } else if (name == "-pluginUUID") {
            line.pluginUuid = value;
        } else if (name == "-registerEvent") {
            line.registerEvent = value;
        } else if (name == "-info") {
            line.info = value;
        }
    }
    if (line.port == 0 || line.pluginUuid.empty() || line.registerEvent.empty() || line.info.empty()) {
        return std::nullopt;
    }
    return line;
}

std::string ReadLanguage(const std::string& info) {
    std::string language = "en";
    try {
        nlohmann::json application;
        if (GetObjectMember(ParseJsonDocument(info), "application", application)) {
            language = GetStringMember(application, "language", language);
        }
    } catch (...) {
        // Info that is not JSON leaves the language at "en".
    }
    return language;
}
