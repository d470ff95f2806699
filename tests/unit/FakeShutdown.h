#pragma once
// Records the power-off's system calls and fails the one it is told to.
#include <functional>
#include <string>
#include <vector>

#include "system/ExitWin32.h"

class FakeShutdown : public IShutdownApi {
public:
    enum Step { kNone, kOpen, kLookup, kAdjust, kExit };
    Step failAt = kNone;
    std::vector<std::string> calls;
    ShutdownPrivilegeRequest request;
    std::uint32_t access = 0;
    unsigned exitFlags = 0, exitReason = 1;
    std::function<void()> onExitWindows;

    bool OpenProcessToken(std::uint32_t a, Token& token) override {
        calls.push_back("open");
        access = a;
        if (failAt == kOpen) return false;
        token = 0x4242;
        return true;
    }
    bool LookupPrivilegeValueA(const char* name, TokenLuid& luid) override {
        calls.push_back(std::string("lookup ") + name);
        if (failAt == kLookup) return false;
        luid.lowPart = 0x13;
        luid.highPart = 7;
        return true;
    }
    bool AdjustTokenPrivileges(Token token, const ShutdownPrivilegeRequest& r) override {
        calls.push_back(token == 0x4242 ? "adjust" : "adjust wrong token");
        request = r;
        return failAt != kAdjust;
    }
    bool ExitWindowsEx(unsigned flags, unsigned reason) override {
        calls.push_back("exit");
        exitFlags = flags;
        exitReason = reason;
        if (onExitWindows) onExitWindows();
        return failAt != kExit;
    }
    void CloseToken(Token token) override { calls.push_back(token == 0x4242 ? "close" : "close wrong token"); }
};
