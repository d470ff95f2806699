#pragma once
// The run log's file operations on kernel32.
#include <windows.h>

#include <cstdint>

#include "system/Files.h"
#include "system/Scoped.h"

// GetFileAttributesA: fa::kNone when the path cannot be read.
std::uint32_t FileAttributes(const std::string& path);

// One FindFirstFileA search; the calls and their answers are the API's
// (GetLastError tells why a call returned false), the handle is closed with
// the object.
class FindFile {
public:
    bool FindFirst(const std::string& pattern, WIN32_FIND_DATAA& found) {
        handle_.Reset(::FindFirstFileA(pattern.c_str(), &found));
        return handle_.IsValid();
    }
    bool FindNext(WIN32_FIND_DATAA& found) { return ::FindNextFileA(handle_.Get(), &found) != FALSE; }
    bool Close() { return handle_.Close(); }

private:
    ScopedFind handle_;
};

class Win32Files : public ILogFiles {
public:
    bool FileExists(const std::string& path) override;
    bool ReadWhole(const std::string& path, std::string& bytes) override;
    bool CreateTempFile(const std::string& folder, std::string& tempPath) override;
    bool WriteWhole(const std::string& path, const std::string& bytes) override;
    bool Replace(const std::string& source, const std::string& target) override;
    bool Remove(const std::string& path) override;
    bool ListFiles(const std::string& folder, const std::string& pattern,
                   std::vector<std::string>& names) override;
};
