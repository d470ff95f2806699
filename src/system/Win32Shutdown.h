#pragma once
// The power-off's system calls on advapi32 and user32.
#include "system/ExitWin32.h"

class Win32Shutdown : public IShutdownApi {
public:
    bool OpenProcessToken(std::uint32_t access, Token& token) override;
    bool LookupPrivilegeValueA(const char* name, TokenLuid& luid) override;
    bool AdjustTokenPrivileges(Token token, const ShutdownPrivilegeRequest& request) override;
    bool ExitWindowsEx(unsigned flags, unsigned reason) override;
    void CloseToken(Token token) override;
};
