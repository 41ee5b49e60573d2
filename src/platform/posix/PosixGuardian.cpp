// The guardian on POSIX systems, in a process group of its own, so that a
// signal to the plugin's group does not reach it. It reads a pipe whose
// write end the kernel closes when the plugin ends, however it ends.
// At start-up it is a copy of this process made by fork before any thread
// exists: nothing is loaded again, and the plugin does not wait for an exec.
// Once threads exist a fork could copy a lock another thread holds, so a
// guardian started again is this executable, run anew with a command line of
// its own (as on Windows).
#include "platform/Platform.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

extern char** environ;

namespace platform {
namespace {

// The only argument of a guardian's command line. A host passes its four
// named pairs and nothing else, so it can never start a guardian by accident.
constexpr const char* kGuardianSwitch = "--deckmouse-guardian";

std::atomic<int> gToGuardian{-1};
int gFromPlugin = -1;  // in the guardian

void NameGuardian() {
#if defined(__linux__)
    prctl(PR_SET_NAME, "deckmouse-guard");  // what ps shows
#endif
}

// A pipe whose ends no program this process starts inherits, the read end
// past the standard descriptors, so that a dup2 onto standard input really
// copies it (a dup2 onto itself would keep it closed on exec).
bool OpenPipe(int (&ends)[2]) {
    if (pipe(ends) != 0) return false;
    for (int& end : ends) {
        if (end <= STDERR_FILENO) {
            const int above = fcntl(end, F_DUPFD, STDERR_FILENO + 1);
            close(end);
            end = above;
        }
        if (end >= 0) fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    if (ends[0] >= 0 && ends[1] >= 0) return true;
    for (const int end : ends) {
        if (end >= 0) close(end);
    }
    return false;
}

// The plugin's end, once a guardian holds the other: a guardian that stops
// reading must not stop the plugin.
void KeepWriteEnd(int descriptor) {
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    const int old = gToGuardian.exchange(descriptor);
    if (old >= 0) close(old);
}

// In the forked child, which never returns to the plugin's code.
[[noreturn]] void BecomeGuardian(int (*runGuardian)(), const int (&ends)[2]) {
    setpgid(0, 0);
    // Only the plugin may hold the write end, or the pipe would outlive it;
    // nor the host's pipes, which the host may wait to see closed.
    close(ends[1]);
    const int nothing = open("/dev/null", O_RDWR);
    for (const int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (nothing >= 0 && nothing != standard) dup2(nothing, standard);
    }
    NameGuardian();
    gFromPlugin = ends[0];
    _exit(runGuardian());
}

// Every descriptor past the standard ones closed in the new program.
bool CloseTheRest([[maybe_unused]] posix_spawn_file_actions_t& actions, [[maybe_unused]] short& flags) {
#if defined(__APPLE__)
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;  // only those the actions name stay open
    return true;
#else
    return posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1) == 0;
#endif
}

// Runs `exe` as the guardian: the pipe's `readEnd` as its standard input,
// the null device as its output, no other descriptor (not the connection to
// the host, which would stay open behind a killed plugin), a process group of
// its own, and no signal blocked or ignored (the plugin ignores SIGPIPE and
// blocks the termination requests in every thread).
bool SpawnGuardian(const std::string& exe, int readEnd) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    sigset_t none;
    sigset_t ignored;
    sigemptyset(&none);
    sigemptyset(&ignored);
    sigaddset(&ignored, SIGPIPE);
    short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    std::string program = exe;
    std::string guardianSwitch = kGuardianSwitch;
    char* const argv[] = {program.data(), guardianSwitch.data(), nullptr};
    pid_t guardian = 0;
    const bool started =
        posix_spawn_file_actions_adddup2(&actions, readEnd, STDIN_FILENO) == 0 &&
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO) == 0 &&
        CloseTheRest(actions, flags) && posix_spawnattr_setpgroup(&attributes, 0) == 0 &&
        posix_spawnattr_setsigmask(&attributes, &none) == 0 && posix_spawnattr_setsigdefault(&attributes, &ignored) == 0 &&
        posix_spawnattr_setflags(&attributes, flags) == 0 &&
        posix_spawn(&guardian, exe.c_str(), &actions, &attributes, argv, environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

}  // namespace

bool StartGuardian(int (*runGuardian)()) {
    int ends[2];
    if (!OpenPipe(ends)) return false;
    const pid_t guardian = fork();
    if (guardian == 0) BecomeGuardian(runGuardian, ends);
    close(ends[0]);
    if (guardian < 0) {
        close(ends[1]);
        return false;
    }
    // Here too, so that its group is its own before anything can signal ours.
    setpgid(guardian, guardian);
    KeepWriteEnd(ends[1]);
    return true;
}

bool StartGuardianAgain() {
    const std::string exe = GetExecutablePath();
    int ends[2];
    if (exe.empty() || !OpenPipe(ends)) return false;
    const bool started = SpawnGuardian(exe, ends[0]);
    close(ends[0]);
    if (!started) {
        close(ends[1]);
        return false;
    }
    KeepWriteEnd(ends[1]);
    return true;
}

GuardianWrite TellGuardian(const std::uint8_t* bytes, std::size_t size) {
    const int descriptor = gToGuardian.load();
    if (descriptor < 0) return GuardianWrite::Gone;
    for (;;) {
        // At most PIPE_BUF bytes: the pipe takes them whole or not at all.
        if (write(descriptor, bytes, size) >= 0) return GuardianWrite::Taken;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return GuardianWrite::Full;
        // EPIPE: the guardian has ended.
        int expected = descriptor;
        if (gToGuardian.compare_exchange_strong(expected, -1)) close(descriptor);
        return GuardianWrite::Gone;
    }
}

bool OpenGuardianPipe(int argc, const char* const argv[]) {
    if (argc != 2 || std::strcmp(argv[1], kGuardianSwitch) != 0) return false;
    NameGuardian();
    gFromPlugin = STDIN_FILENO;
    return true;
}

std::size_t ReadFromPlugin(std::uint8_t* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t got = read(gFromPlugin, buffer, capacity);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
}

}  // namespace platform
