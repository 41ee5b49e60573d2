#include "platform/Platform.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform {

UniqueFile OpenFile(const std::string& path, const char* mode) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return UniqueFile(std::fopen(native.c_str(), mode));
}

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

}  // namespace platform
