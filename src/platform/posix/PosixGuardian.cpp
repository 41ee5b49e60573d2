// The guardian on POSIX systems: this executable again, started through a
// double fork so that it belongs to no one (init reaps it) and in a session
// of its own (setsid), so that a signal to the plugin's process group does
// not reach it. Its standard input is the read end of the pipe; the kernel
// closes the write end when the plugin ends, however it ends.
#include "platform/GuardianCommandLine.h"
#include "platform/Platform.h"
#include "platform/PlatformLog.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

namespace platform {
namespace {

std::atomic<int> gToGuardian{-1};

void CloseOnExec(int descriptor) { fcntl(descriptor, F_SETFD, fcntl(descriptor, F_GETFD) | FD_CLOEXEC); }

// In the forked grandchild, where only async-signal-safe calls are made:
// becomes the guardian or reports why not through `status`.
[[noreturn]] void BecomeGuardian(const char* exe, int pipeFromPlugin, int status) {
    setsid();
    // A plugin started without standard input may have got the pipe as it.
    const bool piped = pipeFromPlugin == STDIN_FILENO ? fcntl(STDIN_FILENO, F_SETFD, 0) == 0
                                                      : dup2(pipeFromPlugin, STDIN_FILENO) >= 0;
    // Not the host's output: the host would wait for the guardian to close it.
    const int nothing = open("/dev/null", O_RDWR);
    if (piped && nothing >= 0 && dup2(nothing, STDOUT_FILENO) >= 0 && dup2(nothing, STDERR_FILENO) >= 0) {
        execl(exe, exe, kGuardianSwitch, static_cast<char*>(nullptr));
    }
    const int error = errno;
    (void)!write(status, &error, sizeof error);
    _exit(127);
}

// Forks twice and waits for the middle process, so that no zombie is left
// and the guardian's parent is init. True once the guardian has exec'd: the
// status pipe closes on exec and carries errno on failure.
bool ForkGuardian(const std::string& exe, int pipeFromPlugin) {
    int status[2];
    if (pipe(status) != 0) return false;
    CloseOnExec(status[1]);
    const pid_t middle = fork();
    if (middle == 0) {
        close(status[0]);
        if (fork() == 0) BecomeGuardian(exe.c_str(), pipeFromPlugin, status[1]);
        _exit(0);
    }
    close(status[1]);
    int error = 0;
    ssize_t got = 0;
    if (middle > 0) {
        while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
        }
        while ((got = read(status[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
    }
    close(status[0]);
    return middle > 0 && got == 0;
}

}  // namespace

bool StartGuardian() {
    const std::string exe = GetExecutablePath();
    int ends[2];
    if (exe.empty() || pipe(ends) != 0) return false;
    // Only the guardian holds the read end; nothing started later may hold
    // the write end, or the pipe would outlive us.
    CloseOnExec(ends[0]);
    CloseOnExec(ends[1]);
    const bool started = ForkGuardian(exe, ends[0]);
    close(ends[0]);
    if (!started) {
        close(ends[1]);
        return false;
    }
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
                        "): buttons held when the plugin is killed will stay down");
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OpenGuardianPipe(int argc, const char* const argv[]) {
    return argc == 2 && std::strcmp(argv[1], kGuardianSwitch) == 0 && fcntl(STDIN_FILENO, F_GETFD) >= 0;
}

std::size_t ReadFromPlugin(std::uint8_t* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer, capacity);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
}

}  // namespace platform
