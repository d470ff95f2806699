#include "system/Win32MessageBoxes.h"

#include <windows.h>

static_assert(mb::kIconWarning == MB_ICONWARNING && mb::kIconStop == MB_ICONSTOP &&
                  mb::kIconInformation == MB_ICONINFORMATION && mb::kTaskModal == MB_TASKMODAL &&
                  mb::kYesNoCancel == MB_YESNOCANCEL && mb::kYesNo == MB_YESNO &&
                  mb::kIconQuestion == MB_ICONQUESTION,
              "message box styles");
static_assert(mb::kIdYes == IDYES && mb::kIdNo == IDNO && mb::kIdCancel == IDCANCEL, "message box answers");

int Win32MessageBoxes::MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                                   unsigned style) {
    return ::MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, style);
}
