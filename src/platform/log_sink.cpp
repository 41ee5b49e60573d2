// The platform layer writes no output of its own: its lines go to whatever
// the program above it logs with.
#include "platform/Platform.h"
#include "platform/PlatformLog.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<void (*)(const std::string&)> gSink{nullptr};

}  // namespace

void SetLogSink(void (*sink)(const std::string& line)) { gSink.store(sink); }

void LogPlatformLine(const std::string& line) {
    if (void (*sink)(const std::string&) = gSink.load()) sink(line);
}

}  // namespace platform
