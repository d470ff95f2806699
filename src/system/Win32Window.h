#pragma once
// The two things every window of the program shares with user32: the wait
// loop's inner pump, and the window procedure that hands a window's messages
// to the object it belongs to.
#include <windows.h>

// Dispatches every message waiting for this thread's windows. A WM_QUIT is
// posted again and ends the pump: it belongs to the loop that owns the
// thread. filter: true for a message it has handled itself.
void ProcessWaitingMessages(bool (*filter)(MSG& msg) = nullptr);

// The object given as CreateWindowExA's last argument, kept with the window
// from WM_NCCREATE on; nullptr before that and once it is detached.
void* WindowObject(HWND hwnd, UINT msg, LPARAM lParam);
void DetachWindowObject(HWND hwnd);

// The window procedure of windows that belong to objects of T: T::hwnd_ is
// set at WM_NCCREATE and cleared after WM_NCDESTROY, every message in between
// goes to T::OnMessage. T declares it a friend.
template <class T>
LRESULT CALLBACK WindowProcOf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    T* self = static_cast<T*>(WindowObject(hwnd, msg, lParam));
    if (!self) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    const LRESULT result = self->OnMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        DetachWindowObject(hwnd);
        self->hwnd_ = nullptr;
    }
    return result;
}
