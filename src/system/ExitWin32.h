#pragma once
// Powers the machine off: enables the shutdown privilege in the program's
// own token, then asks the system to shut down and switch off.
#include <cstdint>

#include "system/Component.h"
#include "system/Exception.h"

QUENDRO_DECLARE_ERROR(EExitError);

struct TokenLuid {
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;
};

// TOKEN_PRIVILEGES with its one entry.
struct ShutdownPrivilegeRequest {
    std::uint32_t privilegeCount = 0;
    TokenLuid luid;
    std::uint32_t attributes = 0;
};

namespace exitwin {
constexpr std::uint32_t kTokenAdjustPrivileges = 0x0020;
constexpr std::uint32_t kTokenQuery = 0x0008;
constexpr std::uint32_t kSePrivilegeEnabled = 0x00000002;
constexpr unsigned kEwxShutdown = 0x00000001;
constexpr unsigned kEwxPowerOff = 0x00000008;
extern const char* const kPrivilegeName;  // "SeShutdownPrivilege"
}  // namespace exitwin

// The four system calls, so that every failure path can be driven natively.
class IShutdownApi {
public:
    using Token = std::uintptr_t;
    virtual ~IShutdownApi() = default;
    virtual bool OpenProcessToken(std::uint32_t access, Token& token) = 0;
    virtual bool LookupPrivilegeValueA(const char* name, TokenLuid& luid) = 0;
    virtual bool AdjustTokenPrivileges(Token token, const ShutdownPrivilegeRequest& request) = 0;
    virtual bool ExitWindowsEx(unsigned flags, unsigned reason) = 0;
    virtual void CloseToken(Token token) = 0;
};

class TExitWin : public TComponent {
public:
    TExitWin(TComponent* owner, IShutdownApi& api) : TComponent(owner), api_(api) {}
    // Returns once the system has accepted the request; EExitError otherwise.
    void PowerOff();

private:
    IShutdownApi& api_;
};
