#include "plugin/InputReadiness.h"

#include "platform/Platform.h"

#include <mutex>
#include <system_error>
#include <thread>

void PrepareInputOnce() {
    static std::once_flag asked;
    std::call_once(asked, [] {
        try {
            std::thread([] { platform::CanReadCursorPos(); }).detach();
        } catch (const std::system_error&) {
        }
    });
}
