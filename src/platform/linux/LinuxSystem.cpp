// Linux: what the plugin asks of the system beyond input.
#include "platform/GrowingBuffer.h"
#include "platform/Platform.h"

#include <unistd.h>

namespace platform {

// X toolkits keep their own double-click times, 400 ms by default in GTK and
// Qt; a second press within 100 ms of the first release pairs in all of them.
int GetDoubleClickTimeMs() { return 100; }

// X has no integrity levels: any client's input reaches every window.
bool IsForegroundWindowElevated() { return false; }

std::string GetExecutablePath() {
    return ReadIntoGrowingBuffer([](char* buffer, std::size_t size) {
        return static_cast<long long>(readlink("/proc/self/exe", buffer, size));
    });
}

}  // namespace platform
