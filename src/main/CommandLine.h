#pragma once

#include <optional>
#include <string>

// What the host passes on the command line: -port, -pluginUUID,
// -registerEvent and -info, four pairs in any order.
struct CommandLine {
    int port = 0;
    std::string pluginUuid;
    std::string registerEvent;
    std::string info;
};

// Empty when the command line is not exactly four pairs with a non-zero port
// and non-empty texts.
std::optional<CommandLine> ParseCommandLine(int argc, const char* const argv[]);

// The user's language: "application" / "language" of the host's info
// document, "en" when that is missing, of another type or the text is not JSON.
std::string ReadLanguage(const std::string& info);
