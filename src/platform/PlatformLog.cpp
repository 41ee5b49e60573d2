#include "platform/PlatformLog.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<LogSink> gSink{nullptr};

}  // namespace

void SetLogSink(LogSink sink) { gSink.store(sink); }

void LogNote(const std::string& line) {
    if (const LogSink sink = gSink.load()) sink(line);
}

}  // namespace platform
