#include "main/ExitDeadline.h"

#include "support/Log.h"

#include <chrono>
#include <cstdlib>
#include <thread>

void EndProcessAfterDeadline(int status) {
    std::thread([status] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kExitDeadlineMs));
        LogLine("Tidying up took longer than " + std::to_string(kExitDeadlineMs) + " ms: ending without it");
        // The log's own wait for a stuck output is short; exit handlers and
        // destructors would wait on what is stuck, so they are skipped.
        FlushLog(std::chrono::milliseconds(30));
        std::_Exit(status);
    }).detach();
}
