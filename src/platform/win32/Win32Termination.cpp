#include "platform/Platform.h"

#include <windows.h>

#include <atomic>

namespace platform {
namespace {

std::atomic<void (*)()> gFinish{nullptr};

// Windows runs it on a thread of its own; returning FALSE passes the event
// on to the default handler, which ends the process.
BOOL WINAPI OnControlEvent(DWORD) {
    if (void (*finish)() = gFinish.exchange(nullptr)) finish();
    return FALSE;
}

}  // namespace

void CallBeforeTermination(void (*finish)()) {
    gFinish = finish;
    SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

}  // namespace platform
