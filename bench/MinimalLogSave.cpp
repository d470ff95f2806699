// The least a Win32 program does for the log's save: the yardstick of
// scripts/bench-log.sh.
//   minimal_log_save FILE
// Reads FILE whole, writes the bytes to a new temporary file in its folder,
// flushes it and replaces FILE by it. Exit 0 when all of that succeeded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: minimal_log_save FILE\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    HANDLE in = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) return 1;
    const DWORD size = ::GetFileSize(in, nullptr);
    char* bytes = static_cast<char*>(std::malloc(size + 1));
    DWORD got = 0;
    const BOOL read = bytes && ::ReadFile(in, bytes, size, &got, nullptr) && got == size;
    ::CloseHandle(in);
    if (!read) return 1;

    const std::string::size_type slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    char temp[MAX_PATH];
    if (!::GetTempFileNameA(folder.c_str(), "tmp", 0, temp)) return 1;
    HANDLE out = ::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    DWORD wrote = 0;
    const BOOL written = ::WriteFile(out, bytes, size, &wrote, nullptr) && wrote == size &&
                         ::FlushFileBuffers(out);
    ::CloseHandle(out);
    if (!written) return 1;
    return ::MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : 1;
}
