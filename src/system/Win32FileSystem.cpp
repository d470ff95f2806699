#include "system/Win32FileSystem.h"

#include <windows.h>

static_assert(fa::kNone == INVALID_FILE_ATTRIBUTES && fa::kFolder == FILE_ATTRIBUTE_DIRECTORY &&
                  fa::kReadOnly == FILE_ATTRIBUTE_READONLY && fa::kHidden == FILE_ATTRIBUTE_HIDDEN &&
                  fa::kSystem == FILE_ATTRIBUTE_SYSTEM && fa::kArchive == FILE_ATTRIBUTE_ARCHIVE &&
                  fa::kNormal == FILE_ATTRIBUTE_NORMAL && fa::kReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT,
              "attribute bits");
static_assert(fo::kRead == GENERIC_READ && fo::kWrite == GENERIC_WRITE &&
                  fo::kShareRead == FILE_SHARE_READ &&
                  fo::kShareAll == (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) &&
                  fo::kCreateAlways == CREATE_ALWAYS && fo::kOpenExisting == OPEN_EXISTING &&
                  fo::kOpenAlways == OPEN_ALWAYS && fo::kFileNotFound == ERROR_FILE_NOT_FOUND &&
                  fo::kNoMoreFiles == ERROR_NO_MORE_FILES && fo::kFileNameTooLong == ERROR_FILENAME_EXCED_RANGE,
              "CreateFileA values and errors");
static_assert(wr::kObject0 == WAIT_OBJECT_0 && wr::kAbandoned == WAIT_ABANDONED &&
                  wr::kTimeout == WAIT_TIMEOUT && wr::kFailed == WAIT_FAILED,
              "wait answers");
static_assert(sizeof(FileHandle) == sizeof(HANDLE), "handles fit");

namespace {

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }
FileHandle FromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

void Fill(const WIN32_FIND_DATAA& data, FoundFile& found) {
    found.Name = data.cFileName;
    found.Attributes = data.dwFileAttributes;
    found.Size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

FileHandle Win32FileSystem::Open(const std::string& path, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t creation) {
    return FromHandle(
        ::CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Win32FileSystem::Size(FileHandle file, std::uint64_t& size) {
    DWORD high = 0;
    // A low part of 0xFFFFFFFF is a failure only with an error set.
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(ToHandle(file), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
}

bool Win32FileSystem::Read(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) {
    DWORD done = 0;
    const bool ok = ::ReadFile(ToHandle(file), buffer, count, &done, nullptr) != FALSE;
    got = done;
    return ok;
}

bool Win32FileSystem::Write(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) {
    DWORD done = 0;
    const bool ok = ::WriteFile(ToHandle(file), buffer, count, &done, nullptr) != FALSE;
    wrote = done;
    return ok;
}

bool Win32FileSystem::SetEnd(FileHandle file) { return ::SetEndOfFile(ToHandle(file)) != FALSE; }

bool Win32FileSystem::Flush(FileHandle file) { return ::FlushFileBuffers(ToHandle(file)) != FALSE; }

bool Win32FileSystem::Close(FileHandle file) { return ::CloseHandle(ToHandle(file)) != FALSE; }

FileHandle Win32FileSystem::FindFirst(const std::string& pattern, FoundFile& found) {
    WIN32_FIND_DATAA data;
    const HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) Fill(data, found);
    return FromHandle(find);
}

bool Win32FileSystem::FindNext(FileHandle find, FoundFile& found) {
    WIN32_FIND_DATAA data;
    if (!::FindNextFileA(ToHandle(find), &data)) return false;
    Fill(data, found);
    return true;
}

void Win32FileSystem::FindClose(FileHandle find) { ::FindClose(ToHandle(find)); }

std::uint32_t Win32FileSystem::Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

bool Win32FileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
    return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

std::size_t Win32FileSystem::FullPathName(const std::string& name, std::string& full) {
    char buffer[kMaxFullPath];
    char* filePart = nullptr;
    const DWORD got = ::GetFullPathNameA(name.c_str(), sizeof buffer, buffer, &filePart);
    full = got > 0 && got < sizeof buffer ? std::string(buffer, got) : std::string();
    return got;
}

std::string Win32FileSystem::CurrentDirectory() {
    char buffer[kMaxFullPath];
    const DWORD got = ::GetCurrentDirectoryA(sizeof buffer, buffer);
    return got > 0 && got < sizeof buffer ? std::string(buffer, got) : std::string();
}

bool Win32FileSystem::CreateFolder(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::MoveReplace(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32FileSystem::Delete(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

bool Win32FileSystem::TempFileName(const std::string& folder, const char* prefix, std::string& name) {
    // GetTempFileNameA wants room for the name it adds.
    if (folder.size() > MAX_PATH - 14) return false;
    char buffer[MAX_PATH];
    if (!::GetTempFileNameA(folder.empty() ? "." : folder.c_str(), prefix, 0, buffer)) return false;
    name = buffer;
    return true;
}

namespace {

bool WellKnownSid(DWORD first, DWORD second, BYTE count, ScopedSid& sid) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID made = nullptr;
    if (!::AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &made)) return false;
    sid.Reset(made);
    return true;
}

}  // namespace

FileHandle Win32FileSystem::CreateNamedMutex(const std::string& name) {
    // A LocalSystem process's default list gives Administrators no right to
    // take the mutex, so a window run by an administrator could not share
    // the lock with the scheduled run: give both full access explicitly.
    ScopedSid admins, system;
    if (!WellKnownSid(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2, admins) ||
        !WellKnownSid(SECURITY_LOCAL_SYSTEM_RID, 0, 1, system))
        return kNoFile;
    alignas(DWORD) BYTE aclBytes[256];
    PACL acl = reinterpret_cast<PACL>(aclBytes);
    SECURITY_DESCRIPTOR sd;
    if (sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(admins.Get()) +
                ::GetLengthSid(system.Get()) > sizeof aclBytes ||
        !::InitializeAcl(acl, sizeof aclBytes, ACL_REVISION) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, MUTEX_ALL_ACCESS, admins.Get()) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, MUTEX_ALL_ACCESS, system.Get()) ||
        !::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE))
        return kNoFile;
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
    const HANDLE mutex = ::CreateMutexA(&sa, FALSE, name.c_str());
    return mutex ? FromHandle(mutex) : kNoFile;
}

std::uint32_t Win32FileSystem::WaitFor(FileHandle handle, std::uint32_t milliseconds) {
    return ::WaitForSingleObject(ToHandle(handle), milliseconds);
}

bool Win32FileSystem::ReleaseMutex(FileHandle mutex) { return ::ReleaseMutex(ToHandle(mutex)) != FALSE; }

std::uint32_t Win32FileSystem::LastError() { return ::GetLastError(); }

IFileSystem& PlatformFileSystem() {
    static Win32FileSystem fileSystem;
    return fileSystem;
}
