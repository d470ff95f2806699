#pragma once
// TUserReg: a small registry access object for the project component's
// per-user defaults, on one key under HKEY_CURRENT_USER. Created for one job,
// it closes its key when it goes (the destructor is Release).
//
// The four advapi32 calls sit behind IRegistryApi so that native tests run
// the same rules against a fake registry.
#include "system/Exception.h"

#include <cstdint>
#include <string>

QUENDRO_DECLARE_ERROR(ERegistryError);
// A stored integer that does not convert, or does not fit the property it is for.
QUENDRO_DECLARE_ERROR(EConvertError);

using RegKey = std::uintptr_t;

// Results are Win32 error codes: 0 is success.
class IRegistryApi {
public:
    virtual ~IRegistryApi() = default;
    // RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL).
    virtual long CreateKey(const char* subKey, RegKey& key) = 0;
    // RegSetValueExA with REG_SZ; size counts the terminating zero.
    virtual long SetValue(RegKey key, const char* name, const unsigned char* data, unsigned long size) = 0;
    // RegQueryValueExA into data; size is the buffer size in, the stored size out.
    virtual long QueryValue(RegKey key, const char* name, unsigned char* data, unsigned long& size) = 0;
    virtual long CloseKey(RegKey key) = 0;
};

// The real registry (Windows builds only).
IRegistryApi& PlatformRegistry();

// Fixed buffer limits, in characters, without the terminating zero.
constexpr std::size_t kMaxKeyPath = 99;
constexpr std::size_t kMaxValueName = 299;
constexpr std::size_t kMaxWriteText = 299;
// A value is read into 299 bytes including its zero: 298 characters at most.
constexpr std::size_t kReadBufferSize = 299;

class TUserReg {
public:
    explicit TUserReg(IRegistryApi& api);
    ~TUserReg();  // Release: closes a still open key, errors ignored
    TUserReg(const TUserReg&) = delete;
    TUserReg& operator=(const TUserReg&) = delete;

    // Opens (creating when missing) HKEY_CURRENT_USER\keyPath; one leading
    // backslash is dropped. Raises "Cannot connect to registry".
    void Connect(const std::string& keyPath);
    // Raises "Error disconnecting from the Registry"; the key then stays open.
    void Disconnect();
    // Raise "Error writing string to Registry" / "Error writing integer to Registry".
    void WriteString(const std::string& name, const std::string& text);
    void WriteInteger(const std::string& name, std::int32_t value);
    // The default when the value cannot be read (missing, too long, not connected).
    std::string ReadString(const std::string& name, const std::string& defaultText);
    // As ReadString, then the text as a decimal 32-bit integer; anything else
    // raises EConvertError naming the value.
    std::int32_t ReadInteger(const std::string& name, std::int32_t defaultValue);

    bool Connected() const { return Connected_; }

private:
    // The shared part of the two writes and the two reads; false on any failure.
    bool TryWrite(const std::string& name, const std::string& text);
    bool TryRead(const std::string& name, std::string& text);

    IRegistryApi& api_;
    bool Connected_ = false;
    RegKey KeyHandle_ = 0;
};
