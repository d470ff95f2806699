#pragma once
// The backup engine's file calls on the real system (kernel32); the folder
// calls are those of the project host.
#include "project/BackupFiles.h"
#include "project/Win32ProjectHost.h"

class Win32BackupFiles : public IBackupFiles {
public:
    std::size_t FullPathName(const std::string& name, std::string& full, std::uint32_t& error) override;
    std::string CurrentDirectory() override;
    bool FolderExists(const std::string& path) override;
    bool CreateFolder(const std::string& path) override;

    TBackupHandle FindFirst(const std::string& pattern, TBackupEntry& entry) override;
    bool FindNext(TBackupHandle find, TBackupEntry& entry) override;
    void FindClose(TBackupHandle find) override;
    std::uint32_t GetAttributes(const std::string& path) override;
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
    TBackupHandle OpenRead(const std::string& path) override;
    TBackupHandle CreateWrite(const std::string& path) override;
    bool Size(TBackupHandle file, std::uint64_t& size) override;
    bool Read(TBackupHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) override;
    bool Write(TBackupHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) override;
    void Close(TBackupHandle file) override;
    bool Delete(const std::string& path) override;

private:
    Win32ProjectHost folders_;
};
