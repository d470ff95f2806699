#include "system/Win32Window.h"

void ProcessWaitingMessages(bool (*filter)(MSG& msg)) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (filter && filter(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void* WindowObject(HWND hwnd, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        void* object = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        return object;
    }
    return reinterpret_cast<void*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void DetachWindowObject(HWND hwnd) { ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0); }
