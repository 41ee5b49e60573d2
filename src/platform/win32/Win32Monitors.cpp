// Windows: the monitors of the virtual desktop.
#include "platform/Platform.h"

#include <windows.h>

namespace platform {
namespace {

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM list) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    // A monitor unplugged while the list is being made is left out.
    if (!::GetMonitorInfoW(handle, &info)) return TRUE;
    Monitor monitor;
    monitor.x = info.rcMonitor.left;
    monitor.y = info.rcMonitor.top;
    monitor.width = info.rcMonitor.right - info.rcMonitor.left;
    monitor.height = info.rcMonitor.bottom - info.rcMonitor.top;
    monitor.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    reinterpret_cast<std::vector<Monitor>*>(list)->push_back(monitor);
    return TRUE;
}

}  // namespace

std::vector<Monitor> GetMonitors() {
    std::vector<Monitor> monitors;
    if (!::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors))) return {};
    return monitors;
}

}  // namespace platform
