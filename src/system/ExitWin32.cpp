#include "system/ExitWin32.h"

#include "system/Scoped.h"

const char* const exitwin::kPrivilegeName = "SeShutdownPrivilege";

namespace {

const char* const kNoToken = "Could not open the Token.\r\nShutting down Windows is failed";
const char* const kNoPrivilege = "Could not adjust the Privilege.\r\nShutting down Windows is failed";

using ScopedToken = Scoped<SeamCloser<IShutdownApi, IShutdownApi::Token, 0, &IShutdownApi::CloseToken>>;

}  // namespace

void TExitWin::PowerOff() {
    IShutdownApi::Token token = 0;
    if (!api_.OpenProcessToken(exitwin::kTokenAdjustPrivileges | exitwin::kTokenQuery, token))
        throw EExitError(kNoToken);
    ScopedToken closer(token, {&api_});

    ShutdownPrivilegeRequest request;
    // Without the privilege's LUID nothing can be enabled: that is a failure
    // too, not a silent return.
    if (!api_.LookupPrivilegeValueA(exitwin::kPrivilegeName, request.luid))
        throw EExitError(kNoPrivilege);
    request.privilegeCount = 1;
    request.attributes = exitwin::kSePrivilegeEnabled;

    if (api_.AdjustTokenPrivileges(token, request) &&
        api_.ExitWindowsEx(exitwin::kEwxShutdown | exitwin::kEwxPowerOff, 0))
        return;
    throw EExitError(kNoPrivilege);
}
