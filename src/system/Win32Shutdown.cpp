#include "system/Win32Shutdown.h"

#include <windows.h>

static_assert(exitwin::kTokenAdjustPrivileges == TOKEN_ADJUST_PRIVILEGES &&
                  exitwin::kTokenQuery == TOKEN_QUERY &&
                  exitwin::kSePrivilegeEnabled == SE_PRIVILEGE_ENABLED,
              "token constants");
static_assert(exitwin::kEwxShutdown == EWX_SHUTDOWN && exitwin::kEwxPowerOff == EWX_POWEROFF,
              "shutdown flags");

namespace {
HANDLE H(IShutdownApi::Token t) { return reinterpret_cast<HANDLE>(t); }
}  // namespace

bool Win32Shutdown::OpenProcessToken(std::uint32_t access, Token& token) {
    HANDLE h = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), access, &h)) return false;
    token = reinterpret_cast<Token>(h);
    return true;
}

bool Win32Shutdown::LookupPrivilegeValueA(const char* name, TokenLuid& luid) {
    LUID l;
    if (!::LookupPrivilegeValueA(nullptr, name, &l)) return false;
    luid.lowPart = l.LowPart;
    luid.highPart = l.HighPart;
    return true;
}

bool Win32Shutdown::AdjustTokenPrivileges(Token token, const ShutdownPrivilegeRequest& request) {
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = request.privilegeCount;
    tp.Privileges[0].Luid.LowPart = request.luid.lowPart;
    tp.Privileges[0].Luid.HighPart = request.luid.highPart;
    tp.Privileges[0].Attributes = request.attributes;
    return ::AdjustTokenPrivileges(H(token), FALSE, &tp, 0, nullptr, nullptr) != FALSE;
}

bool Win32Shutdown::ExitWindowsEx(unsigned flags, unsigned reason) {
    return ::ExitWindowsEx(flags, reason) != FALSE;
}

void Win32Shutdown::CloseToken(Token token) { ::CloseHandle(H(token)); }
