#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {

RegularFile OpenRegularFile(const std::string& path) {
    if (path.find('\0') != std::string::npos) return {};
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    // Looked at before it is opened, so that no device is even opened (a
    // serial line raises its control lines on open), and again through the
    // descriptor, in case the name was swapped in between. O_NONBLOCK keeps
    // the open itself from waiting for a FIFO's writer.
    struct stat status;
    if (stat(native.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
    const int descriptor = open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) return {};
    RegularFile opened;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) opened.file.reset(fdopen(descriptor, "rb"));
    if (!opened.file) {
        close(descriptor);
        return {};
    }
    opened.size = static_cast<std::uint64_t>(status.st_size);
    return opened;
}

bool WriteStandardOutput(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

}  // namespace platform
