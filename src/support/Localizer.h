#pragma once

#include <nlohmann/json.hpp>

#include <string>

// The string table of the host's language, read once at start-up from
// "<language>.json" in the plugin folder (its "Localization" object).
class Localizer {
public:
    // Never fails outwardly: anything that goes wrong leaves the table null.
    explicit Localizer(const std::string& language);

    const nlohmann::json& Table() const { return table; }

private:
    nlohmann::json table;
};

// The process-wide instance; created once by start-up and never destroyed.
extern Localizer* gLocalizer;

// The text in the user's language: its entry in the process-wide table, or
// the English text itself when there is none (or no table).
std::string Localize(const std::string& english);
