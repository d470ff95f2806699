#pragma once
// The file system seam on kernel32.
#include "system/FileSystem.h"

class Win32FileSystem : public IFileSystem {
public:
    FileHandle Open(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t creation) override;
    bool Size(FileHandle file, std::uint64_t& size) override;
    bool Read(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) override;
    bool Write(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) override;
    bool SetEnd(FileHandle file) override;
    bool Flush(FileHandle file) override;
    bool Close(FileHandle file) override;
    FileHandle FindFirst(const std::string& pattern, FoundFile& found) override;
    bool FindNext(FileHandle find, FoundFile& found) override;
    void FindClose(FileHandle find) override;
    std::uint32_t Attributes(const std::string& path) override;
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
    std::size_t FullPathName(const std::string& name, std::string& full) override;
    std::string CurrentDirectory() override;
    bool CreateFolder(const std::string& path) override;
    bool MoveReplace(const std::string& from, const std::string& to) override;
    bool Delete(const std::string& path) override;
    bool TempFileName(const std::string& folder, const char* prefix, std::string& name) override;
    FileHandle CreateNamedMutex(const std::string& name) override;
    std::uint32_t WaitFor(FileHandle handle, std::uint32_t milliseconds) override;
    bool ReleaseMutex(FileHandle mutex) override;
    std::uint32_t LastError() override;
};
