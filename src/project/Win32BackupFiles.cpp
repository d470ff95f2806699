#include "project/Win32BackupFiles.h"

#include <windows.h>

#include "system/Win32Files.h"

static_assert(sizeof(TBackupHandle) == sizeof(HANDLE), "handles fit");

namespace {

HANDLE ToHandle(TBackupHandle handle) { return reinterpret_cast<HANDLE>(handle); }
TBackupHandle FromHandle(HANDLE handle) { return reinterpret_cast<TBackupHandle>(handle); }

void Fill(const WIN32_FIND_DATAA& data, TBackupEntry& entry) {
    entry.Name = data.cFileName;
    entry.Attributes = data.dwFileAttributes;
    entry.Size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

std::size_t Win32BackupFiles::FullPathName(const std::string& name, std::string& full, std::uint32_t& error) {
    return folders_.FullPathName(name, full, error);
}

std::string Win32BackupFiles::CurrentDirectory() { return folders_.CurrentDirectory(); }

bool Win32BackupFiles::FolderExists(const std::string& path) { return folders_.FolderExists(path); }

bool Win32BackupFiles::CreateFolder(const std::string& path) { return folders_.CreateFolder(path); }

TBackupHandle Win32BackupFiles::FindFirst(const std::string& pattern, TBackupEntry& entry) {
    WIN32_FIND_DATAA data;
    const HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) Fill(data, entry);
    return FromHandle(find);
}

bool Win32BackupFiles::FindNext(TBackupHandle find, TBackupEntry& entry) {
    WIN32_FIND_DATAA data;
    if (!::FindNextFileA(ToHandle(find), &data)) return false;
    Fill(data, entry);
    return true;
}

void Win32BackupFiles::FindClose(TBackupHandle find) { ::FindClose(ToHandle(find)); }

std::uint32_t Win32BackupFiles::GetAttributes(const std::string& path) { return FileAttributes(path); }

bool Win32BackupFiles::SetAttributes(const std::string& path, std::uint32_t attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

TBackupHandle Win32BackupFiles::OpenRead(const std::string& path) {
    return FromHandle(
        ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TBackupHandle Win32BackupFiles::CreateWrite(const std::string& path) {
    return FromHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Win32BackupFiles::Size(TBackupHandle file, std::uint64_t& size) {
    DWORD high = 0;
    // A low part of 0xFFFFFFFF is a failure only with an error set.
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(ToHandle(file), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
}

bool Win32BackupFiles::Read(TBackupHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) {
    DWORD done = 0;
    const bool ok = ::ReadFile(ToHandle(file), buffer, count, &done, nullptr) != FALSE;
    got = done;
    return ok;
}

bool Win32BackupFiles::Write(TBackupHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) {
    DWORD done = 0;
    const bool ok = ::WriteFile(ToHandle(file), buffer, count, &done, nullptr) != FALSE;
    wrote = done;
    return ok;
}

void Win32BackupFiles::Close(TBackupHandle file) { ::CloseHandle(ToHandle(file)); }

bool Win32BackupFiles::Delete(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }
