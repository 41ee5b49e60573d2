#pragma once

#include <string>

namespace platform {

// Hands one line to the sink that SetLogSink named; dropped when none is set.
void LogPlatformLine(const std::string& line);

}  // namespace platform
