#pragma once
// The file system as one seam: Win32 in the product, one fake in the native
// tests. Each method is one kernel32 call with its answer; what to do about a
// failure stays with the caller. None throws.
#include <cstddef>
#include <cstdint>
#include <string>

#include "system/Scoped.h"

// File attribute bits, as GetFileAttributesA and FindFirstFileA report them.
namespace fa {
constexpr std::uint32_t kReadOnly = 0x01;
constexpr std::uint32_t kHidden = 0x02;
constexpr std::uint32_t kSystem = 0x04;
constexpr std::uint32_t kVolumeLabel = 0x08;
constexpr std::uint32_t kFolder = 0x10;
constexpr std::uint32_t kArchive = 0x20;
constexpr std::uint32_t kNormal = 0x80;
constexpr std::uint32_t kReparsePoint = 0x400;
// GetFileAttributesA's answer for a path it cannot read.
constexpr std::uint32_t kNone = 0xFFFFFFFF;
}  // namespace fa

inline bool IsFolderAttributes(std::uint32_t a) { return a != fa::kNone && (a & fa::kFolder) != 0; }
inline bool IsFileAttributes(std::uint32_t a) { return a != fa::kNone && (a & fa::kFolder) == 0; }

// CreateFileA's access, sharing and creation values, and the errors the
// callers tell apart.
namespace fo {
constexpr std::uint32_t kRead = 0x80000000;
constexpr std::uint32_t kWrite = 0x40000000;
constexpr std::uint32_t kShareNone = 0;
constexpr std::uint32_t kShareRead = 0x01;
constexpr std::uint32_t kShareAll = 0x07;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kOpenAlways = 4;
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kNoMoreFiles = 18;
// Wine's answer to a name too long for the A calls, where Windows returns the
// size it would need.
constexpr std::uint32_t kFileNameTooLong = 206;
}  // namespace fo

// WaitForSingleObject's answers.
namespace wr {
constexpr std::uint32_t kObject0 = 0;
constexpr std::uint32_t kAbandoned = 0x80;  // the owner ended holding it: now ours
constexpr std::uint32_t kTimeout = 0x102;
constexpr std::uint32_t kFailed = 0xFFFFFFFF;
}  // namespace wr

// Full paths fit in 260 bytes (259 characters and the zero).
constexpr std::size_t kMaxFullPath = 260;

// A file or find handle; kNoFile is INVALID_HANDLE_VALUE.
using FileHandle = std::uintptr_t;
constexpr FileHandle kNoFile = ~FileHandle(0);

// What FindFirstFileA and FindNextFileA report of one entry.
struct FoundFile {
    std::string Name;
    std::uint32_t Attributes = 0;
    std::uint64_t Size = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // CreateFileA: kNoFile on failure.
    virtual FileHandle Open(const std::string& path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t creation) = 0;
    // GetFileSize, high part included.
    virtual bool Size(FileHandle file, std::uint64_t& size) = 0;
    virtual bool Read(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) = 0;
    virtual bool Write(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) = 0;
    virtual bool SetEnd(FileHandle file) = 0;
    virtual bool Flush(FileHandle file) = 0;
    virtual bool Close(FileHandle file) = 0;

    // FindFirstFileA: every entry the system lists, "." and ".." included;
    // kNoFile when nothing matches.
    virtual FileHandle FindFirst(const std::string& pattern, FoundFile& found) = 0;
    virtual bool FindNext(FileHandle find, FoundFile& found) = 0;
    virtual void FindClose(FileHandle find) = 0;

    virtual std::uint32_t Attributes(const std::string& path) = 0;
    virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
    // GetFullPathNameA into kMaxFullPath bytes: the length of `full`, the size
    // needed when it does not fit (then `full` is empty), or 0 on failure.
    virtual std::size_t FullPathName(const std::string& name, std::string& full) = 0;
    virtual std::string CurrentDirectory() = 0;
    // CreateDirectoryA of one folder whose parent exists.
    virtual bool CreateFolder(const std::string& path) = 0;
    // MoveFileExA, replacing an existing target, written through to disk.
    virtual bool MoveReplace(const std::string& from, const std::string& to) = 0;
    virtual bool Delete(const std::string& path) = 0;
    // GetTempFileNameA: creates an empty file with a unique name in the folder.
    virtual bool TempFileName(const std::string& folder, const char* prefix, std::string& name) = 0;
    // CreateMutexA, not owned, under a name every session shares, open to
    // Administrators and SYSTEM only: kNoFile on failure. Close() closes it.
    virtual FileHandle CreateNamedMutex(const std::string& name) = 0;
    // WaitForSingleObject: one of the wr:: answers.
    virtual std::uint32_t WaitFor(FileHandle handle, std::uint32_t milliseconds) = 0;
    virtual bool ReleaseMutex(FileHandle mutex) = 0;
    // GetLastError after the last failed call.
    virtual std::uint32_t LastError() = 0;
};

inline bool FolderExists(IFileSystem& files, const std::string& path) {
    return IsFolderAttributes(files.Attributes(path));
}

// The real file system of the platform the program was built for.
IFileSystem& PlatformFileSystem();

// Handles of the seam, closed through it.
using ScopedSeamFile = Scoped<SeamCloser<IFileSystem, FileHandle, kNoFile, &IFileSystem::Close>>;
using ScopedSeamFind = Scoped<SeamCloser<IFileSystem, FileHandle, kNoFile, &IFileSystem::FindClose>>;
