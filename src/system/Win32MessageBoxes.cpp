#include "system/Win32MessageBoxes.h"

#include <windows.h>

static_assert(mb::kIconWarning == MB_ICONWARNING && mb::kIconStop == MB_ICONSTOP &&
                  mb::kIconInformation == MB_ICONINFORMATION && mb::kTaskModal == MB_TASKMODAL,
              "message box styles");

int Win32MessageBoxes::MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                                   unsigned style) {
    return ::MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, style);
}
