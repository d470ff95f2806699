#pragma once
// What DefragDrive needs of the window manager and the shell, under the Win32
// names. The product implements it with user32/shell32; the tests with a fake
// window system on a virtual clock.
#include <cstdint>

#include "system/MessageBoxes.h"

namespace win {
constexpr unsigned kWmSetFocus = 0x0007;
constexpr unsigned kWmClose = 0x0010;
constexpr unsigned kWmKeyDown = 0x0100;
constexpr unsigned kWmKeyUp = 0x0101;
constexpr unsigned kVkSpace = 0x20;
constexpr unsigned kVkEscape = 0x1B;
constexpr long kWsDisabled = 0x08000000L;
constexpr int kSwShow = 5;
}  // namespace win

class IConsoleWindows : public IMessageBoxes {
public:
    // caption nullptr matches any caption; "" only an empty one.
    virtual WindowHandle FindWindowA(const char* className, const char* caption) = 0;
    virtual WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter,
                                      const char* className, const char* caption) = 0;
    virtual void ShellExecuteA(WindowHandle owner, const char* verb, const char* file,
                              const char* parameters, const char* directory, int show) = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    virtual long GetWindowStyle(WindowHandle window) = 0;  // GetWindowLongA(GWL_STYLE)
    virtual bool IsWindow(WindowHandle window) = 0;
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual void PostMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
    virtual void SendMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
    // Dispatches every message waiting for the program's own windows.
    virtual void ProcessMessages() = 0;
};
