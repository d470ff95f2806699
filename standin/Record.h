// Small helpers shared by the stand-in programs and the end-to-end test
// helpers: host paths, wall-clock times and appending records to a file.
#pragma once

#include <windows.h>

#include <string>

namespace record {

// Tests hand over host paths; Wine sees the host's / as Z:.
inline std::string WindowsPath(const std::string& path)
{
    std::string p(path);
    if (!p.empty() && p[0] == '/') {
        p = "Z:" + p;
        for (char& c : p)
            if (c == '/') c = '\\';
    }
    return p;
}

// Milliseconds since 1970 as text: the tests compare these with host times.
inline std::string EpochMs()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    unsigned long long ms = (t.QuadPart - 116444736000000000ULL) / 10000ULL;
    std::string s;
    do {
        s.insert(s.begin(), static_cast<char>('0' + ms % 10));
        ms /= 10;
    } while (ms);
    return s;
}

inline std::string Number(unsigned long n)
{
    char buf[16];
    wsprintfA(buf, "%lu", n);
    return buf;
}

inline std::string Env(const char* name)
{
    char buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return std::string();
    return std::string(buf, n);
}

// Appends one line (CR LF added) in a single write, so that the lines of
// several processes sharing a file do not mix.
inline bool AppendLine(const std::string& path, const std::string& line)
{
    if (path.empty()) return false;
    HANDLE f = CreateFileA(WindowsPath(path).c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return false;
    std::string data = line + "\r\n";
    DWORD written = 0;
    BOOL ok = WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, NULL);
    CloseHandle(f);
    return ok && written == data.size();
}

inline bool FileExists(const std::string& path)
{
    return GetFileAttributesA(WindowsPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace record
