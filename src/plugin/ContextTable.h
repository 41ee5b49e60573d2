#pragma once

#include "plugin/ActionSettings.h"

#include <map>
#include <mutex>
#include <string>

// The settings of every key shown, by the host's context text. Writers hold
// `mutex`; the event thread reads without it, as every writer runs there too.
class ContextTable {
public:
    bool Find(const std::string& context) const { return entries.count(context) != 0; }
    // Raises std::out_of_range for a context that is not in the table.
    ActionSettings& At(const std::string& context) { return entries.at(context); }
    // Keeps an entry that is already there.
    void InsertIfAbsent(const std::string& context, const ActionSettings& settings) {
        entries.emplace(context, settings);
    }
    void Erase(const std::string& context) { entries.erase(context); }

    std::mutex mutex;

private:
    std::map<std::string, ActionSettings> entries;
};
