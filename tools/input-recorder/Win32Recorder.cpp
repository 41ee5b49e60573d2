// Prints every mouse and key event that reaches the Windows input stack, as
// seen by low-level mouse and keyboard hooks on one thread (so in the order
// the system takes them), one JSON object per line:
//   {"ready":true}                                   once the hooks are in place
//   {"kind":"button","button":"left","down":true,"injected":true,"time":12.5}
//   {"kind":"wheel","axis":"vertical","amount":-120,"injected":true,"time":...}
//   {"kind":"move","x":10,"y":20,"injected":false,"time":...}
//   {"kind":"key","vk":162,"scan":29,"extended":false,"down":true,"injected":true,"time":...}
// "time" is milliseconds on the performance counter. Runs until killed.
#include <windows.h>

#include <cstdio>

namespace {

LARGE_INTEGER frequency;

double NowMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PrintButton(const char* button, bool down, bool injected) {
    std::printf("{\"kind\":\"button\",\"button\":\"%s\",\"down\":%s,\"injected\":%s,\"time\":%.3f}\n", button,
                down ? "true" : "false", injected ? "true" : "false", NowMs());
}

LRESULT CALLBACK OnMouse(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
        const bool injected = (event->flags & LLMHF_INJECTED) != 0;
        const short high = static_cast<short>(HIWORD(event->mouseData));
        switch (message) {
            case WM_LBUTTONDOWN: PrintButton("left", true, injected); break;
            case WM_LBUTTONUP: PrintButton("left", false, injected); break;
            case WM_MBUTTONDOWN: PrintButton("middle", true, injected); break;
            case WM_MBUTTONUP: PrintButton("middle", false, injected); break;
            case WM_RBUTTONDOWN: PrintButton("right", true, injected); break;
            case WM_RBUTTONUP: PrintButton("right", false, injected); break;
            case WM_XBUTTONDOWN:
            case WM_XBUTTONUP:
                PrintButton(high == XBUTTON1 ? "x1" : "x2", message == WM_XBUTTONDOWN, injected);
                break;
            case WM_MOUSEWHEEL:
            case WM_MOUSEHWHEEL:
                std::printf("{\"kind\":\"wheel\",\"axis\":\"%s\",\"amount\":%d,\"injected\":%s,\"time\":%.3f}\n",
                            message == WM_MOUSEWHEEL ? "vertical" : "horizontal", high, injected ? "true" : "false",
                            NowMs());
                break;
            case WM_MOUSEMOVE:
                std::printf("{\"kind\":\"move\",\"x\":%ld,\"y\":%ld,\"injected\":%s,\"time\":%.3f}\n", event->pt.x,
                            event->pt.y, injected ? "true" : "false", NowMs());
                break;
            default: break;
        }
        std::fflush(stdout);
    }
    return CallNextHookEx(nullptr, code, message, data);
}

LRESULT CALLBACK OnKey(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        // Alt, and keys held with it, come as the system's key messages.
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        std::printf("{\"kind\":\"key\",\"vk\":%lu,\"scan\":%lu,\"extended\":%s,\"down\":%s,\"injected\":%s,"
                    "\"time\":%.3f}\n",
                    event->vkCode, event->scanCode, (event->flags & LLKHF_EXTENDED) != 0 ? "true" : "false",
                    down ? "true" : "false", (event->flags & LLKHF_INJECTED) != 0 ? "true" : "false", NowMs());
        std::fflush(stdout);
    }
    return CallNextHookEx(nullptr, code, message, data);
}

}  // namespace

int main() {
    QueryPerformanceFrequency(&frequency);
    HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, OnMouse, GetModuleHandleW(nullptr), 0);
    if (hook == nullptr) {
        std::fprintf(stderr, "cannot install the mouse hook (error %lu)\n", GetLastError());
        return 1;
    }
    HHOOK keyHook = SetWindowsHookExW(WH_KEYBOARD_LL, OnKey, GetModuleHandleW(nullptr), 0);
    if (keyHook == nullptr) {
        std::fprintf(stderr, "cannot install the keyboard hook (error %lu)\n", GetLastError());
        return 1;
    }
    std::printf("{\"ready\":true}\n");
    std::fflush(stdout);
    // The hooks are called on this thread, from its message loop.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    UnhookWindowsHookEx(keyHook);
    UnhookWindowsHookEx(hook);
    return 0;
}
