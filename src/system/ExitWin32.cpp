#include "system/ExitWin32.h"

const char* const exitwin::kPrivilegeName = "SeShutdownPrivilege";

namespace {

const char* const kNoToken = "Could not open the Token.\r\nShutting down Windows is failed";
const char* const kNoPrivilege = "Could not adjust the Privilege.\r\nShutting down Windows is failed";

class TokenCloser {
public:
    TokenCloser(IShutdownApi& api, IShutdownApi::Token token) : api_(api), token_(token) {}
    ~TokenCloser() { api_.CloseToken(token_); }
    TokenCloser(const TokenCloser&) = delete;
    TokenCloser& operator=(const TokenCloser&) = delete;

private:
    IShutdownApi& api_;
    IShutdownApi::Token token_;
};

}  // namespace

void TExitWin::PowerOff() {
    IShutdownApi::Token token = 0;
    if (!api_.OpenProcessToken(exitwin::kTokenAdjustPrivileges | exitwin::kTokenQuery, token))
        throw EExitError(kNoToken);
    TokenCloser closer(api_, token);

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
