#include "plugin/GuardianLink.h"

#include "platform/Platform.h"
#include "plugin/GuardianMessages.h"
#include "support/Log.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct Link {
    std::mutex mutex;
    std::condition_variable full;  // wakes the retries
    // A guardian was started and never failed to start again: one that has
    // ended is started again.
    bool restartable = false;
    GuardianRecord latest{};
    bool latestHolds = false;  // latest holds a button or key: worth a guardian
    bool unsent = false;       // latest has not gone in: the pipe was full
    bool retrying = false;     // the retries' thread runs
};

// Never destroyed: the retries may still run while the process exits.
Link& TheLink() {
    static Link* link = new Link();
    return *link;
}

bool StartAgainLocked(Link& link) {
    if (!link.restartable) return false;
    link.restartable = platform::StartGuardianAgain();
    LogLine(link.restartable ? "The guardian had ended: started it again"
                             : "The guardian had ended and could not be started again: buttons and keys held "
                               "when the plugin is killed will stay down");
    return link.restartable;
}

void SendLocked(Link& link);

void RetryWhileFull(Link& link) {
    std::unique_lock<std::mutex> lock(link.mutex);
    for (;;) {
        link.full.wait(lock, [&] { return link.unsent; });
        link.full.wait_for(lock, std::chrono::milliseconds(kGuardianRetryMs));
        if (link.unsent) SendLocked(link);
    }
}

void SendLocked(Link& link) {
    using platform::GuardianWrite;
    GuardianWrite result = platform::TellGuardian(link.latest.data(), link.latest.size());
    if (result == GuardianWrite::Gone && link.latestHolds && StartAgainLocked(link)) {
        result = platform::TellGuardian(link.latest.data(), link.latest.size());
    }
    const bool wasUnsent = link.unsent;
    link.unsent = result == GuardianWrite::Full;
    if (!link.unsent || wasUnsent) return;
    if (link.retrying) {
        link.full.notify_one();
        return;
    }
    try {
        std::thread(RetryWhileFull, std::ref(link)).detach();
        link.retrying = true;
    } catch (const std::system_error&) {
        // No retries: the next call sends the latest record.
    }
}

void Send(const GuardianRecord& record, bool holds) {
    Link& link = TheLink();
    std::lock_guard<std::mutex> guard(link.mutex);
    link.latest = record;
    link.latestHolds = holds;
    SendLocked(link);
}

}  // namespace

bool StartGuardianLink(int (*runGuardian)()) {
    Link& link = TheLink();
    std::lock_guard<std::mutex> guard(link.mutex);
    link.restartable = platform::StartGuardian(runGuardian);
    return link.restartable;
}

void TellGuardianHeld(const HeldSet& held) { Send(HeldRecord(held), !held.Empty()); }

void SayGoodbyeToGuardian() { Send(GoodbyeRecord(), false); }
