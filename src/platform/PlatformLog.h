#pragma once

#include <string>

// Notes the platform layer has for the user, such as why an input path is not
// used. The layer sits below the plugin's log, so the plugin hands it a sink
// at start-up; until then the notes go nowhere.
namespace platform {

using LogSink = void (*)(const std::string& line);

void SetLogSink(LogSink sink);

// One line to the sink, if there is one.
void LogNote(const std::string& line);

}  // namespace platform
