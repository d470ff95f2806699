#include "ui/Application.h"

#include <exception>

#include "system/Exception.h"
#include "system/Win32MessageBoxes.h"
#include "ui/MainRun.h"

TApplication Application;

int TApplication::Run() {
    MSG msg;
    for (;;) {
        if (quitPending_ && MainWindow) {
            // Every handler has returned: now the window may go.
            HWND window = MainWindow;
            MainWindow = nullptr;
            ::DestroyWindow(window);
        }
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (FilterMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

bool TApplication::FilterMessage(MSG& msg) {
    if (!MainWindow) return false;
    if (Accelerators && ::TranslateAcceleratorA(MainWindow, Accelerators, &msg)) return true;
    return ::IsDialogMessageA(MainWindow, &msg) != FALSE;
}

void TApplication::HelpCommand(UINT command, ULONG_PTR data) {
    ::WinHelpA(MainWindow, HelpFile.c_str(), command, data);
}

void TApplication::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Exception& error) {
        ShowException(error.Message());
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException("Unknown error");
    }
}

void TApplication::ShowException(const std::string& message) {
    Win32MessageBoxes boxes;
    ShowErrorBox(boxes, Title, message);
}
