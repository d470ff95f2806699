#pragma once
// The file calls of the backup engine, as thin as the system calls under them:
// listings return every entry the system returns ("." and "..", folders,
// hidden and system entries); the engine applies its own rules above them.
// Win32BackupFiles is the real one; tests use an in-memory tree.
#include <cstdint>
#include <string>

#include "project/ProjectHost.h"
#include "system/Files.h"

// A find or file handle; kNoBackupHandle is INVALID_HANDLE_VALUE.
using TBackupHandle = std::uintptr_t;
constexpr TBackupHandle kNoBackupHandle = ~TBackupHandle(0);

struct TBackupEntry {
    std::string Name;
    std::uint32_t Attributes = 0;
    std::uint64_t Size = 0;
};

class IBackupFiles : public IFolderSystem {
public:
    // FindFirstFileA: kNoBackupHandle when nothing matches.
    virtual TBackupHandle FindFirst(const std::string& pattern, TBackupEntry& entry) = 0;
    virtual bool FindNext(TBackupHandle find, TBackupEntry& entry) = 0;
    virtual void FindClose(TBackupHandle find) = 0;

    virtual std::uint32_t GetAttributes(const std::string& path) = 0;
    virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;

    // Opened for reading and shared with nobody: kNoBackupHandle on failure.
    virtual TBackupHandle OpenRead(const std::string& path) = 0;
    // Created anew (or truncated), read and write, shared with nobody.
    virtual TBackupHandle CreateWrite(const std::string& path) = 0;
    // The size of an open file, high part included.
    virtual bool Size(TBackupHandle file, std::uint64_t& size) = 0;
    virtual bool Read(TBackupHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) = 0;
    virtual bool Write(TBackupHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) = 0;
    virtual void Close(TBackupHandle file) = 0;
    virtual bool Delete(const std::string& path) = 0;
};
