// The guardian on Windows: this executable again, started by CreateProcess
// detached from the console and in a process group of its own, out of the
// plugin's job where the job allows it. It inherits the read end of a named
// pipe (named so that it can be read overlapped) and a handle to the plugin's
// process, and waits on both: the pipe says what is held, the process handle
// says for certain that the plugin has ended.
#include "platform/Platform.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

// The first argument of a guardian's command line. A host passes its four
// named pairs and nothing else, so it can never start a guardian by accident.
constexpr const char* kGuardianSwitch = "--deckmouse-guardian";

// The plugin's end, opened for overlapped writes: a write the pipe cannot
// take waits in the system, not in the plugin, and the next call finds it
// still waiting. Only TellGuardian and StartGuardianAgain touch it, never at
// once.
struct PipeToGuardian {
    HANDLE pipe = nullptr;
    HANDLE written = nullptr;  // the event of the write in flight
    OVERLAPPED write{};
    std::uint8_t bytes[16] = {};  // what it writes, kept until it is done
    bool inFlight = false;
};

PipeToGuardian gToGuardian;

// The guardian's ends: the pipe, the plugin's process and the read's event.
HANDLE gFromPlugin = nullptr;
HANDLE gPlugin = nullptr;
HANDLE gReadDone = nullptr;

struct OwnedHandle {
    HANDLE handle = nullptr;
    ~OwnedHandle() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

std::string HandleText(HANDLE handle) { return std::to_string(reinterpret_cast<std::uintptr_t>(handle)); }

HANDLE HandleFrom(const char* text) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || value == 0) return nullptr;
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

// Inherits `handles` and nothing else: not the host's pipes for our standard
// output, which would stay open for as long as the guardian runs.
bool CreateGuardianProcess(std::string commandLine, HANDLE (&handles)[2]) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;  // and none of them
    startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size)) return false;
    PROCESS_INFORMATION process{};
    const auto create = [&](DWORD flags) {
        return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                              flags | DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | EXTENDED_STARTUPINFO_PRESENT,
                              nullptr, nullptr, &startup.StartupInfo, &process) != FALSE;
    };
    // A job that does not allow leaving it refuses the breakaway; the
    // guardian then lives in it and dies with it, but guards every other end.
    const bool started = UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                   handles, sizeof handles, nullptr, nullptr) &&
                         (create(CREATE_BREAKAWAY_FROM_JOB) || create(0));
    DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!started) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// This executable again, with the read end of a new pipe and a handle to
// this process; on success the pipe's write end is this process's way to it.
bool StartGuardianProcess() {
    const std::string exe = GetExecutablePath();
    if (exe.empty()) return false;
    const std::string name = "\\\\.\\pipe\\deckmouse-guardian-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount64());
    SECURITY_ATTRIBUTES inherited{static_cast<DWORD>(sizeof(SECURITY_ATTRIBUTES)), nullptr, TRUE};
    OwnedHandle readEnd{CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                                         FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                         1, 0, 4096, 0, &inherited)};
    if (readEnd.handle == INVALID_HANDLE_VALUE) return false;
    // Not inherited: only this process may hold the write end.
    OwnedHandle writeEnd{
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr)};
    OwnedHandle self;
    if (writeEnd.handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self.handle, SYNCHRONIZE,
                         TRUE, 0)) {
        return false;
    }
    if (gToGuardian.written == nullptr) gToGuardian.written = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const std::string commandLine = "\"" + exe + "\" " + kGuardianSwitch + " " + HandleText(readEnd.handle) + " " +
                                    HandleText(self.handle);
    HANDLE inheritedHandles[] = {readEnd.handle, self.handle};
    if (gToGuardian.written == nullptr || !CreateGuardianProcess(commandLine, inheritedHandles)) return false;
    gToGuardian.pipe = writeEnd.handle;
    gToGuardian.inFlight = false;
    writeEnd.handle = nullptr;
    return true;
}

// The guardian has ended: a write of ours still waiting goes with the pipe.
void CloseToGuardian() {
    CloseHandle(gToGuardian.pipe);
    gToGuardian.pipe = nullptr;
    gToGuardian.inFlight = false;
}

}  // namespace

// `runGuardian` runs in the new process, called by its main.
bool StartGuardian(int (*)()) { return StartGuardianProcess(); }

bool StartGuardianAgain() { return StartGuardianProcess(); }

GuardianWrite TellGuardian(const std::uint8_t* bytes, std::size_t size) {
    PipeToGuardian& to = gToGuardian;
    if (to.pipe == nullptr) return GuardianWrite::Gone;
    if (to.inFlight) {
        DWORD written = 0;
        if (!GetOverlappedResult(to.pipe, &to.write, &written, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE) return GuardianWrite::Full;
            CloseToGuardian();
            return GuardianWrite::Gone;
        }
        to.inFlight = false;
    }
    if (size > sizeof to.bytes) size = sizeof to.bytes;
    std::memcpy(to.bytes, bytes, size);
    to.write = OVERLAPPED{};
    to.write.hEvent = to.written;
    if (WriteFile(to.pipe, to.bytes, static_cast<DWORD>(size), nullptr, &to.write)) return GuardianWrite::Taken;
    if (GetLastError() == ERROR_IO_PENDING) {
        to.inFlight = true;
        return GuardianWrite::Full;
    }
    // ERROR_NO_DATA: the guardian's end is closed.
    CloseToGuardian();
    return GuardianWrite::Gone;
}

bool OpenGuardianPipe(int argc, const char* const argv[]) {
    if (argc != 4 || std::strcmp(argv[1], kGuardianSwitch) != 0) return false;
    gFromPlugin = HandleFrom(argv[2]);
    gPlugin = HandleFrom(argv[3]);
    gReadDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return gFromPlugin != nullptr && gPlugin != nullptr && gReadDone != nullptr;
}

std::size_t ReadFromPlugin(std::uint8_t* buffer, std::size_t capacity) {
    OVERLAPPED read{};
    read.hEvent = gReadDone;
    ResetEvent(gReadDone);
    DWORD got = 0;
    if (!ReadFile(gFromPlugin, buffer, static_cast<DWORD>(capacity), nullptr, &read) &&
        GetLastError() != ERROR_IO_PENDING) {
        return 0;  // ERROR_BROKEN_PIPE: the plugin's end is closed
    }
    const HANDLE waits[] = {gReadDone, gPlugin};
    // The read first when both are ready: bytes the plugin wrote before it
    // ended still count.
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) CancelIo(gFromPlugin);
    if (!GetOverlappedResult(gFromPlugin, &read, &got, TRUE)) return 0;
    return got;
}

}  // namespace platform
