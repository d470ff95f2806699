// Reading another program's windows, and writing what was read as JSON, for
// the Wine tests' helper programs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

inline std::string Utf8(const std::wstring& w)
{
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), NULL, 0, NULL, NULL);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, NULL, NULL);
    return s;
}

// Cross-process reads in the ANSI form can be cut short under Wine; the
// wide form returns the whole text.
inline std::wstring TextOf(HWND h)
{
    int n = GetWindowTextLengthW(h);
    std::vector<wchar_t> buf(n + 64);
    int got = GetWindowTextW(h, buf.data(), static_cast<int>(buf.size()));
    return std::wstring(buf.data(), got > 0 ? got : 0);
}

inline std::wstring ClassOf(HWND h)
{
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

// A JSON string of code page 932 or UTF-8 bytes; control bytes as \u00XX.
inline std::string Json(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            wsprintfA(buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

inline std::string Num(long n)
{
    char buf[16];
    wsprintfA(buf, "%ld", n);
    return buf;
}
