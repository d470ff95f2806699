#pragma once
// The run log's file operations on kernel32.
#include "system/Files.h"

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
