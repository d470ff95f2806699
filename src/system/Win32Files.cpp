#include "system/Win32Files.h"

#include <windows.h>

#include <limits>

namespace {

class ScopedFile {
public:
    explicit ScopedFile(HANDLE h) : h_(h) {}
    ~ScopedFile() {
        if (ok()) ::CloseHandle(h_);
    }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kAppendRoom = 64 * 1024;

}  // namespace

bool Win32Files::FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Files::ReadWhole(const std::string& path, std::string& bytes) {
    ScopedFile file(::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.ok()) return false;
    DWORD high = 0;
    const DWORD low = ::GetFileSize(file.get(), &high);
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
        if (!::ReadFile(file.get(), &bytes[done], low - done, &got, nullptr)) return false;
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
    if (!file.ok()) return false;
    DWORD done = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    while (done < size) {
        DWORD wrote = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, size - done, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return ::SetEndOfFile(file.get()) && ::FlushFileBuffers(file.get());
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
    const HANDLE find = ::FindFirstFileA((folder + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (::FindNextFileA(find, &found));
    const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(find);
    return complete;
}
