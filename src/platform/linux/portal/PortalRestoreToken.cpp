#include "platform/linux/portal/PortalRestoreToken.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::portal {
namespace {

constexpr const char* kFileName = "portal-restore-token";
// The portal's tokens are UUIDs; anything much longer is not one.
constexpr std::size_t kMaxTokenLength = 256;

std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // XDG base directories ignore a relative value, as desktops do.
    if (state != nullptr && state[0] == '/') return std::string(state) + "/deckmouse";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/deckmouse";
    return {};
}

// mkdir -p, each new folder private to the user.
bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

bool IsToken(const std::string& text) {
    if (text.empty() || text.size() > kMaxTokenLength) return false;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return false;
    }
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::string RestoreTokenPath() {
    const std::string folder = StateFolder();
    return folder.empty() ? folder : folder + "/" + kFileName;
}

std::string ReadRestoreToken() {
    const std::string path = RestoreTokenPath();
    if (path.empty()) return {};
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return {};
    char buffer[kMaxTokenLength + 2];
    std::string text;
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) text.assign(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return IsToken(text) ? text : std::string();
}

bool StoreRestoreToken(const std::string& token) {
    const std::string folder = StateFolder();
    if (folder.empty() || !IsToken(token) || !MakeFolders(folder)) return false;
    const std::string path = folder + "/" + kFileName;
    const std::string partial = path + ".new";
    unlink(partial.c_str());  // one left by a crash may have other permissions
    const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, token + "\n") && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (written && closed && rename(partial.c_str(), path.c_str()) == 0) return true;
    unlink(partial.c_str());
    return false;
}

}  // namespace platform::portal
