#pragma once
// The one seam through which every message box of the program is shown, so
// that the style bits can be checked natively (they cannot be seen from
// outside a running box).
#include <cstdint>

using WindowHandle = std::uintptr_t;

// Message box styles and results, as in the Win32 headers.
namespace mb {
constexpr unsigned kOk = 0x00000000;
constexpr unsigned kYesNoCancel = 0x00000003;
constexpr unsigned kYesNo = 0x00000004;
constexpr unsigned kIconStop = 0x00000010;
constexpr unsigned kIconQuestion = 0x00000020;
constexpr unsigned kIconWarning = 0x00000030;
constexpr unsigned kIconInformation = 0x00000040;
constexpr unsigned kTaskModal = 0x00002000;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
}  // namespace mb

class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    // caption nullptr: the system's default caption.
    virtual int MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                           unsigned style) = 0;
};
