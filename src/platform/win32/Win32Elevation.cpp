// Windows: whether the foreground window is out of reach of this process's
// input. User interface privilege isolation drops injected input aimed at a
// process of a higher integrity level, and SendInput does not say so.
#include "platform/Platform.h"

#include <windows.h>

#include <vector>

namespace platform {
namespace {

enum class Integrity { Known, Unknown, Hidden };

// The integrity level of a process: the last sub-authority of its token's
// mandatory label. Hidden when the system denies us the token.
Integrity IntegrityLevelOf(HANDLE process, DWORD& level) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return ::GetLastError() == ERROR_ACCESS_DENIED ? Integrity::Hidden : Integrity::Unknown;
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    const bool read = size != 0 && ::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size);
    ::CloseHandle(token);
    if (!read) return Integrity::Unknown;
    const PSID label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    const UCHAR count = *::GetSidSubAuthorityCount(label);
    if (count == 0) return Integrity::Unknown;
    level = *::GetSidSubAuthority(label, count - 1);
    return Integrity::Known;
}

}  // namespace

bool IsForegroundWindowElevated() {
    const HWND window = ::GetForegroundWindow();
    if (window == nullptr) return false;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == 0 || processId == ::GetCurrentProcessId()) return false;
    DWORD ours = 0;
    if (IntegrityLevelOf(::GetCurrentProcess(), ours) != Integrity::Known) return false;
    // The system hides a process or its token from us when it runs above us
    // (elevated, or as the system) or under another account; on the user's
    // own desktop it is almost always the former.
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD theirs = 0;
    const Integrity integrity = IntegrityLevelOf(process, theirs);
    ::CloseHandle(process);
    if (integrity == Integrity::Hidden) return true;
    return integrity == Integrity::Known && theirs > ours;
}

}  // namespace platform
