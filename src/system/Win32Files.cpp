#include "system/Win32Files.h"

#include <limits>

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kAppendRoom = 64 * 1024;

}  // namespace

static_assert(fa::kNone == INVALID_FILE_ATTRIBUTES && fa::kFolder == FILE_ATTRIBUTE_DIRECTORY &&
                  fa::kReadOnly == FILE_ATTRIBUTE_READONLY && fa::kHidden == FILE_ATTRIBUTE_HIDDEN &&
                  fa::kSystem == FILE_ATTRIBUTE_SYSTEM && fa::kArchive == FILE_ATTRIBUTE_ARCHIVE &&
                  fa::kNormal == FILE_ATTRIBUTE_NORMAL && fa::kReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT,
              "attribute bits");

std::uint32_t FileAttributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

bool Win32Files::FileExists(const std::string& path) { return IsFileAttributes(FileAttributes(path)); }

bool Win32Files::ReadWhole(const std::string& path, std::string& bytes) {
    ScopedFile file(::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD high = 0;
    const DWORD low = ::GetFileSize(file.Get(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    // A log of 2 GiB or more cannot be held in this 32-bit process.
    if (high != 0 || low > static_cast<DWORD>(std::numeric_limits<int>::max())) return false;
    // Room for the lines this run appends, so that they do not make the
    // string regrow and copy the whole history.
    bytes.clear();
    bytes.reserve(low + kAppendRoom);
    bytes.resize(low);
    DWORD done = 0;
    while (done < low) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), &bytes[done], low - done, &got, nullptr)) return false;
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    bytes.resize(done);
    return true;
}

bool Win32Files::CreateTempFile(const std::string& folder, std::string& tempPath) {
    // GetTempFileNameA wants room for the name it adds.
    if (folder.size() > MAX_PATH - 14) return false;
    char name[MAX_PATH];
    if (!::GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "qlg", 0, name)) return false;
    tempPath = name;
    return true;
}

bool Win32Files::WriteWhole(const std::string& path, const std::string& bytes) {
    ScopedFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD done = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    while (done < size) {
        DWORD wrote = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, size - done, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return ::SetEndOfFile(file.Get()) && ::FlushFileBuffers(file.Get());
}

bool Win32Files::Replace(const std::string& source, const std::string& target) {
    return ::MoveFileExA(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32Files::Remove(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

bool Win32Files::ListFiles(const std::string& folder, const std::string& pattern,
                           std::vector<std::string>& names) {
    names.clear();
    WIN32_FIND_DATAA found;
    FindFile find;
    if (!find.FindFirst(folder + pattern, found)) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (IsFileAttributes(found.dwFileAttributes)) names.push_back(found.cFileName);
    } while (find.FindNext(found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}
