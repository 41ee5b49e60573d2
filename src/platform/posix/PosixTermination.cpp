#include "platform/Platform.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace platform {

void CallBeforeTermination(void (*finish)()) {
    // A host that closed our standard output must not end us with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    // Blocked in every thread (those started later inherit the mask), so
    // that the requests reach the one thread that waits for them, where
    // `finish` may take locks as no signal handler could.
    sigset_t requests;
    sigemptyset(&requests);
    for (const int request : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&requests, request);
    pthread_sigmask(SIG_BLOCK, &requests, nullptr);
    std::thread([requests, finish] {
        int request = 0;
        if (sigwait(&requests, &request) != 0) return;
        finish();
        // Ends as the signal would have, so the parent sees why.
        signal(request, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &requests, nullptr);
        raise(request);
    }).detach();
}

}  // namespace platform
