#pragma once
// The file operations the run log needs, as a seam: Win32 in the product,
// a fake in the native tests. Every call answers success or failure; none throws.
#include <cstdint>
#include <string>
#include <vector>

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

class ILogFiles {
public:
    virtual ~ILogFiles() = default;
    virtual bool FileExists(const std::string& path) = 0;
    // Reads the whole file; other programs may keep it open for reading and writing.
    virtual bool ReadWhole(const std::string& path, std::string& bytes) = 0;
    // Creates a new, empty file with a unique name in the folder.
    virtual bool CreateTempFile(const std::string& folder, std::string& tempPath) = 0;
    // Creates the file if needed, writes the bytes from its start, cuts it to
    // their length and flushes it to disk. Open sharing lets other readers be.
    virtual bool WriteWhole(const std::string& path, const std::string& bytes) = 0;
    // Replaces target by source in one step, written through to disk.
    virtual bool Replace(const std::string& source, const std::string& target) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // The names of the files (not folders) in the folder that match the
    // wildcard pattern; the folder ends in its separator or is empty.
    virtual bool ListFiles(const std::string& folder, const std::string& pattern,
                           std::vector<std::string>& names) = 0;
};
