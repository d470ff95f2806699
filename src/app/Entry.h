#pragma once
// The process entry: the system check, the choice of mode and the top-level
// error handler of command-line mode.
#include <string>
#include <vector>

#include "system/MessageBoxes.h"

class Exception;

namespace version {
constexpr unsigned kPlatformWin32Nt = 2;  // VER_PLATFORM_WIN32_NT
}

// 2000 for Windows NT 5.0, otherwise 0.
int WindowsVersionCode(unsigned platformId, unsigned major, unsigned minor);

class IEntryHost : public IMessageBoxes {
public:
    virtual int CheckWindowsVersion() = 0;
    virtual void RunCommandLine(const std::vector<std::string>& args) = 0;
    virtual int RunWindowMode() = 0;
};

// The text of the top-level error box: the error's class name, ": ", its message.
std::string FatalErrorText(const Exception& error);

int QuendroMain(IEntryHost& host, const std::vector<std::string>& args);
