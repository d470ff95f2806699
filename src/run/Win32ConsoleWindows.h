#pragma once
// DefragDrive's window system: user32 and shell32, called directly.
#include <windows.h>

#include "run/ConsoleWindows.h"

class Win32ConsoleWindows : public IConsoleWindows {
public:
    // Lets window mode put accelerators and dialog keys in front of dispatching;
    // it answers true for a message it has handled.
    using MessageFilter = bool (*)(MSG& msg);
    explicit Win32ConsoleWindows(MessageFilter filter = nullptr) : filter_(filter) {}

    int MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                   unsigned style) override;
    WindowHandle FindWindowA(const char* className, const char* caption) override;
    WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter, const char* className,
                              const char* caption) override;
    void ShellExecuteA(WindowHandle owner, const char* verb, const char* file, const char* parameters,
                      const char* directory, int show) override;
    void Sleep(unsigned milliseconds) override;
    long GetWindowStyle(WindowHandle window) override;
    bool IsWindow(WindowHandle window) override;
    void SetForegroundWindow(WindowHandle window) override;
    void PostMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    void SendMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    void ProcessMessages() override;

private:
    MessageFilter filter_;
};
