// The guardian on POSIX systems: a copy of this process made by fork before
// any thread exists, in a process group of its own, so that a signal to the
// plugin's group does not reach it. Not exec'd, so it loads nothing, and not
// waited for, so the plugin's start-up pays only the fork. It reads the pipe
// whose write end the kernel closes when the plugin ends, however it ends.
#include "platform/Platform.h"
#include "platform/PlatformLog.h"

#include <fcntl.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

namespace platform {
namespace {

std::atomic<int> gToGuardian{-1};
int gFromPlugin = -1;  // in the guardian

// In the forked child, which never returns to the plugin's code.
[[noreturn]] void BecomeGuardian(int (*runGuardian)(), const int (&ends)[2]) {
    setpgid(0, 0);
    // Only the plugin may hold the write end, or the pipe would outlive it;
    // nor the host's pipes, which the host may wait to see closed.
    close(ends[1]);
    const int nothing = open("/dev/null", O_RDWR);
    for (const int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (nothing >= 0 && nothing != standard && ends[0] != standard) dup2(nothing, standard);
    }
#if defined(__linux__)
    prctl(PR_SET_NAME, "deckmouse-guard");  // what ps shows
#endif
    gFromPlugin = ends[0];
    _exit(runGuardian());
}

}  // namespace

bool StartGuardian(int (*runGuardian)()) {
    int ends[2];
    if (pipe(ends) != 0) return false;
    // Nothing the plugin may start later inherits the write end.
    fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    const pid_t guardian = fork();
    if (guardian == 0) BecomeGuardian(runGuardian, ends);
    close(ends[0]);
    if (guardian < 0) {
        close(ends[1]);
        return false;
    }
    // Here too, so that its group is its own before anything can signal ours.
    setpgid(guardian, guardian);
    // A guardian that stops reading must not stop the plugin.
    fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    gToGuardian = ends[1];
    return true;
}

bool TellGuardian(const std::uint8_t* bytes, std::size_t size) {
    const int descriptor = gToGuardian.load();
    if (descriptor < 0) return false;
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = errno;
            if (gToGuardian.exchange(-1) == descriptor) {
                close(descriptor);
                LogNote(std::string("The guardian is gone (") + std::strerror(error) +
                        "): buttons and keys held when the plugin is killed will stay down");
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OpenGuardianPipe(int, const char* const[]) { return false; }

std::size_t ReadFromPlugin(std::uint8_t* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t got = read(gFromPlugin, buffer, capacity);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
}

}  // namespace platform
