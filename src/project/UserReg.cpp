#include "project/UserReg.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "system/Text.h"

TUserReg::TUserReg(IRegistryApi& api) : api_(api) {}

TUserReg::~TUserReg() {
    if (!Connected_) {
        return;
    }
    try {
        api_.CloseKey(KeyHandle_);
    } catch (...) {
        // Release runs during unwinding too; a close error has nowhere to go.
    }
}

void TUserReg::Connect(const std::string& keyPath) {
    if (Connected_) {
        Disconnect();
    }
    std::string path = keyPath;
    if (!path.empty() && path[0] == '\\') {
        path.erase(0, 1);
    }
    // A path over the limit is refused rather than cut: a cut one would open another key.
    if (path.size() > kMaxKeyPath) {
        throw ERegistryError("Cannot connect to registry");
    }
    RegKey key = 0;
    Connected_ = api_.CreateKey(path.c_str(), key) == 0;
    KeyHandle_ = Connected_ ? key : 0;
    if (!Connected_) {
        throw ERegistryError("Cannot connect to registry");
    }
}

void TUserReg::Disconnect() {
    if (!Connected_) {
        return;
    }
    if (api_.CloseKey(KeyHandle_) != 0) {
        throw ERegistryError("Error disconnecting from the Registry");
    }
    Connected_ = false;
    KeyHandle_ = 0;
}

bool TUserReg::TryWrite(const std::string& name, const std::string& text) {
    if (!Connected_ || name.size() > kMaxValueName || text.size() > kMaxWriteText) {
        return false;
    }
    // REG_SZ data counts its terminating zero.
    const std::string data = text + '\0';
    return api_.SetValue(KeyHandle_, name.c_str(), reinterpret_cast<const unsigned char*>(data.data()),
                         static_cast<unsigned long>(data.size())) == 0;
}

void TUserReg::WriteString(const std::string& name, const std::string& text) {
    if (!TryWrite(name, text)) {
        throw ERegistryError("Error writing string to Registry");
    }
}

void TUserReg::WriteInteger(const std::string& name, std::int32_t value) {
    if (!TryWrite(name, DecimalText(value))) {
        throw ERegistryError("Error writing integer to Registry");
    }
}

bool TUserReg::TryRead(const std::string& name, std::string& text) {
    if (!Connected_ || name.size() > kMaxValueName) {
        return false;
    }
    unsigned char buffer[kReadBufferSize] = {};
    unsigned long size = kReadBufferSize;
    if (api_.QueryValue(KeyHandle_, name.c_str(), buffer, size) != 0) {
        return false;
    }
    // The type is not checked, so the data need not end in a zero.
    const std::size_t available = size < kReadBufferSize ? size : kReadBufferSize;
    std::size_t length = 0;
    while (length < available && buffer[length] != 0) {
        ++length;
    }
    text.assign(reinterpret_cast<const char*>(buffer), length);
    return true;
}

std::string TUserReg::ReadString(const std::string& name, const std::string& defaultText) {
    std::string text;
    return TryRead(name, text) ? text : defaultText;
}

std::int32_t TUserReg::ReadInteger(const std::string& name, std::int32_t defaultValue) {
    std::string text;
    if (!TryRead(name, text)) {
        return defaultValue;
    }
    // An optional sign, then one or more decimal digits, nothing else.
    std::string_view number = text;
    if (number.size() > 1 && number[0] == '+' && number[1] != '-') {
        number.remove_prefix(1);
    }
    std::int32_t value = 0;
    if (!ReadDecimal(number, value)) {
        throw EConvertError("'" + text + "' is not a valid integer value for \"" + name + "\"");
    }
    return value;
}
