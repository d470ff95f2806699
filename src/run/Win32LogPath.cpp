#include "run/Win32LogPath.h"

#include <windows.h>

#include "run/RunLog.h"

std::string ExecutableLogPath() {
    // Grow the buffer until the whole path fits; paths can exceed MAX_PATH.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD got = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (got == 0) return "log.txt";
        if (got < path.size()) {
            path.resize(got);
            return LogPathFor(path);
        }
        if (path.size() >= 32768) return "log.txt";
        path.resize(path.size() * 2);
    }
}
