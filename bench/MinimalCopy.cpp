// The least a Win32 program does to copy a list of files: the yardstick of
// scripts/bench-backup.sh.
//   minimal_copy LIST SOURCE TARGET
// LIST holds paths relative to SOURCE, one a line, each folder (ending in a
// backslash) before the files in it. Folders are made with CreateDirectoryA,
// files copied with CopyFileA. Exit 0 when every file was copied.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: minimal_copy LIST SOURCE TARGET\n", stderr);
        return 2;
    }
    std::FILE* list = std::fopen(argv[1], "rb");
    if (!list) return 1;
    const std::string source = std::string(argv[2]) + "\\", target = std::string(argv[3]) + "\\";
    ::CreateDirectoryA(argv[3], nullptr);
    const DWORD start = ::GetTickCount();
    char line[1024];
    while (std::fgets(line, sizeof line, list)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        const std::size_t n = std::strlen(line);
        if (n == 0) continue;
        if (line[n - 1] == '\\') {
            ::CreateDirectoryA((target + line).c_str(), nullptr);
        } else if (!::CopyFileA((source + line).c_str(), (target + line).c_str(), FALSE)) {
            std::fprintf(stderr, "minimal_copy: %s: error %lu\n", line, ::GetLastError());
            return 1;
        }
    }
    std::printf("%lu ms\n", ::GetTickCount() - start);
    return 0;
}
