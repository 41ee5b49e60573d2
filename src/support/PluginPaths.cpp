#include "support/PluginPaths.h"

#include "platform/Platform.h"

#include <algorithm>

namespace {

char SeparatorOf(const std::string& path) {
    return path.find('\\') != std::string::npos ? '\\' : '/';
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void TrimTrailingSeparators(std::string& path, char separator) {
    while (path.size() > 1 && path.back() == separator) path.pop_back();
}

}  // namespace

std::string GetFileName(const std::string& path) {
    const bool hasBackslash = path.find('\\') != std::string::npos;
    if (hasBackslash && EndsWith(path, ":\\")) return path;
    if (!hasBackslash && path.find('/') == std::string::npos) return path;
    const char separator = SeparatorOf(path);
    std::string copy = path;
    TrimTrailingSeparators(copy, separator);
    if (copy.size() == 1 && copy[0] == separator) return copy;
    const std::size_t last = copy.rfind(separator);
    return last == std::string::npos ? copy : copy.substr(last + 1);
}

std::string GetExtension(const std::string& path) {
    const std::string name = GetFileName(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size()) return std::string();
    return name.substr(dot);
}

bool IsUncRoot(const std::string& path) {
    if (path.empty()) return false;
    const char separator = SeparatorOf(path);
    if (path.size() < 2 || path[0] != separator || path[1] != separator) return false;
    const std::string rest = path.substr(2);
    return rest.find(separator) == rest.rfind(separator);
}

std::string GetParentPath(const std::string& path) {
    const char separator = SeparatorOf(path);
    if (EndsWith(path, std::string(":") + separator) || IsUncRoot(path)) return path;
    std::string copy = path;
    TrimTrailingSeparators(copy, separator);
    const std::size_t last = copy.rfind(separator);
    if (last == std::string::npos) return EndsWith(copy, ":") ? copy + separator : std::string();
    std::string parent = path.substr(0, last);
    if (EndsWith(parent, ":\\")) return parent;
    if (EndsWith(parent, ":")) return parent + '\\';
    TrimTrailingSeparators(parent, separator);
    if (parent.empty() && separator == '/') return "/";
    return parent;
}

std::string JoinPath(const std::string& base, const std::string& name) {
    if (base.empty()) return name;
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    const bool baseEnds = isSeparator(base.back());
    const bool nameBegins = !name.empty() && isSeparator(name.front());
    std::string joined;
    if (baseEnds && nameBegins) {
        joined = base + name.substr(1);
    } else if (baseEnds || nameBegins) {
        joined = base + name;
    } else {
        joined = base + '\\' + name;
    }
    std::replace(joined.begin(), joined.end(), '/', '\\');
    return joined;
}

std::string GetPluginFolder() {
    // Filled only by a successful search, so a failed one is tried again.
    static std::string cache;
    if (!cache.empty()) return cache;
    std::string current = platform::GetExecutablePath();
    while (!current.empty()) {
        if (current == "/" || EndsWith(current, ":\\")) break;
        if (GetExtension(current) == ".sdPlugin") {
            cache = current;
            break;
        }
        const std::string parent = GetParentPath(current);
        if (parent == current) break;
        current = parent;
    }
    return cache;
}
