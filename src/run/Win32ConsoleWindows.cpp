#include "run/Win32ConsoleWindows.h"

#include <shellapi.h>

#include "system/Win32MessageBoxes.h"
#include "system/Win32Window.h"

static_assert(win::kWmSetFocus == WM_SETFOCUS && win::kWmClose == WM_CLOSE &&
                  win::kWmKeyDown == WM_KEYDOWN && win::kWmKeyUp == WM_KEYUP,
              "message numbers");
static_assert(win::kVkSpace == VK_SPACE && win::kVkEscape == VK_ESCAPE, "key codes");
static_assert(win::kWsDisabled == WS_DISABLED && win::kSwShow == SW_SHOW, "styles");

namespace {
HWND H(WindowHandle w) { return reinterpret_cast<HWND>(w); }
WindowHandle W(HWND h) { return reinterpret_cast<WindowHandle>(h); }
}  // namespace

int Win32ConsoleWindows::MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                                    unsigned style) {
    return Win32MessageBoxes().MessageBoxA(owner, text, caption, style);
}

WindowHandle Win32ConsoleWindows::FindWindowA(const char* className, const char* caption) {
    return W(::FindWindowA(className, caption));
}

WindowHandle Win32ConsoleWindows::FindWindowExA(WindowHandle parent, WindowHandle childAfter,
                                               const char* className, const char* caption) {
    return W(::FindWindowExA(H(parent), H(childAfter), className, caption));
}

void Win32ConsoleWindows::ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                                       const char* parameters, const char* directory, int show) {
    ::ShellExecuteA(H(owner), verb, file, parameters, directory, show);
}

void Win32ConsoleWindows::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

long Win32ConsoleWindows::GetWindowStyle(WindowHandle window) {
    return ::GetWindowLongA(H(window), GWL_STYLE);
}

bool Win32ConsoleWindows::IsWindow(WindowHandle window) { return ::IsWindow(H(window)) != FALSE; }

void Win32ConsoleWindows::SetForegroundWindow(WindowHandle window) {
    ::SetForegroundWindow(H(window));
}

void Win32ConsoleWindows::PostMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    ::PostMessageA(H(window), message, wParam, lParam);
}

void Win32ConsoleWindows::SendMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    ::SendMessageA(H(window), message, wParam, lParam);
}

void Win32ConsoleWindows::ProcessMessages() { ProcessWaitingMessages(filter_); }
