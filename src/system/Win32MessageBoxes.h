#pragma once
// Message boxes on user32.
#include "system/MessageBoxes.h"

class Win32MessageBoxes : public IMessageBoxes {
public:
    int MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                    unsigned style) override;
};
