#pragma once
// An in-memory HKEY_CURRENT_USER behind IRegistryApi, with the Win32 results
// the code under test has to handle. Key paths and value names are compared
// without letter case (ASCII), as the registry does.
#include "project/UserReg.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

class FakeRegistry : public IRegistryApi {
public:
    static constexpr long kFileNotFound = 2;
    static constexpr long kAccessDenied = 5;
    static constexpr long kInvalidHandle = 6;
    static constexpr long kMoreData = 234;

    bool failCreate = false;
    bool failClose = false;     // the handle stays open
    std::string failSetName;    // SetValue for this name fails with kAccessDenied
    std::vector<std::string> writes;  // every SetValue name, as passed

    void Set(const std::string& keyPath, const std::string& name, const std::string& bytes) {
        keys_[Fold(keyPath)][Fold(name)] = bytes;
    }
    void SetText(const std::string& keyPath, const std::string& name, const std::string& text) {
        Set(keyPath, name, text + '\0');
    }
    bool Has(const std::string& keyPath, const std::string& name) const { return Find(keyPath, name) != nullptr; }
    // The stored bytes, terminating zero included.
    std::string Bytes(const std::string& keyPath, const std::string& name) const {
        const std::string* bytes = Find(keyPath, name);
        return bytes ? *bytes : std::string();
    }
    std::string Text(const std::string& keyPath, const std::string& name) const {
        const std::string bytes = Bytes(keyPath, name);
        return bytes.substr(0, bytes.find('\0'));
    }
    bool HasKey(const std::string& keyPath) const { return keys_.count(Fold(keyPath)) != 0; }
    void Erase(const std::string& keyPath, const std::string& name) {
        const auto key = keys_.find(Fold(keyPath));
        if (key != keys_.end()) {
            key->second.erase(Fold(name));
        }
    }
    int OpenKeys() const { return static_cast<int>(handles_.size()); }

    long CreateKey(const char* subKey, RegKey& key) override {
        if (failCreate) {
            return kAccessDenied;
        }
        const std::string path = Fold(subKey);
        keys_[path];
        key = nextHandle_++;
        handles_[key] = path;
        return 0;
    }

    long SetValue(RegKey key, const char* name, const unsigned char* data, unsigned long size) override {
        writes.push_back(name);
        const auto handle = handles_.find(key);
        if (handle == handles_.end()) {
            return kInvalidHandle;
        }
        if (!failSetName.empty() && Fold(name) == Fold(failSetName)) {
            return kAccessDenied;
        }
        keys_[handle->second][Fold(name)].assign(reinterpret_cast<const char*>(data), size);
        return 0;
    }

    long QueryValue(RegKey key, const char* name, unsigned char* data, unsigned long& size) override {
        const auto handle = handles_.find(key);
        if (handle == handles_.end()) {
            return kInvalidHandle;
        }
        const auto& values = keys_[handle->second];
        const auto value = values.find(Fold(name));
        if (value == values.end()) {
            return kFileNotFound;
        }
        const std::string& bytes = value->second;
        const unsigned long room = size;
        size = static_cast<unsigned long>(bytes.size());
        if (data == nullptr) {
            return 0;  // a size enquiry
        }
        if (bytes.size() > room) {
            return kMoreData;
        }
        std::memcpy(data, bytes.data(), bytes.size());
        std::memset(data + bytes.size(), '?', room - bytes.size());  // past the size, the buffer holds nothing defined
        return 0;
    }

    long CloseKey(RegKey key) override {
        const auto handle = handles_.find(key);
        if (handle == handles_.end()) {
            return kInvalidHandle;
        }
        if (failClose) {
            return kAccessDenied;
        }
        handles_.erase(handle);
        return 0;
    }

private:
    static std::string Fold(std::string text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return text;
    }
    const std::string* Find(const std::string& keyPath, const std::string& name) const {
        const auto key = keys_.find(Fold(keyPath));
        if (key == keys_.end()) {
            return nullptr;
        }
        const auto value = key->second.find(Fold(name));
        return value == key->second.end() ? nullptr : &value->second;
    }

    std::map<std::string, std::map<std::string, std::string>> keys_;
    std::map<RegKey, std::string> handles_;
    RegKey nextHandle_ = 1;
};
