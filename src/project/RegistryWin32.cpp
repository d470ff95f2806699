#include "project/UserReg.h"

#include <windows.h>

namespace {

HKEY AsHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry : public IRegistryApi {
public:
    long CreateKey(const char* subKey, RegKey& key) override {
        HKEY opened = nullptr;
        const LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &opened, nullptr);
        if (result == ERROR_SUCCESS) {
            key = reinterpret_cast<RegKey>(opened);
        }
        return result;
    }

    long SetValue(RegKey key, const char* name, const unsigned char* data, unsigned long size) override {
        return RegSetValueExA(AsHkey(key), name, 0, REG_SZ, data, static_cast<DWORD>(size));
    }

    long QueryValue(RegKey key, const char* name, unsigned char* data, unsigned long& size) override {
        DWORD count = static_cast<DWORD>(size);
        const LONG result = RegQueryValueExA(AsHkey(key), name, nullptr, nullptr, data, &count);
        size = count;
        return result;
    }

    long CloseKey(RegKey key) override { return RegCloseKey(AsHkey(key)); }
};

}  // namespace

IRegistryApi& PlatformRegistry() {
    static Win32Registry registry;
    return registry;
}
