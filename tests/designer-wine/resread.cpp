// Reads back, the way Windows itself does, what the designer and the build
// wrote, for the designer's Wine tests. Prints UTF-8 lines "key=value".
//   resread FILE.res            its version resource, put into a copy of this
//                               program and read with GetFileVersionInfoW
//   resread FILE.exe|FILE.dll   the version resource of that file
//   resread --descr EXE DFM     the QUENDRO values of the window description
//                               EXE embeds (RCDATA TFRMMAIN), parsed; exit 1
//                               unless it is DFM byte for byte
//   resread --now [Y M D h m s]...
//                               the local time (or each given one) as the
//                               GetDateFormatA short date, blank, GetTimeFormatA
//   resread --attrib PATH[=HEX]...
//                               sets the attributes of each PATH given with
//                               =HEX (SetFileAttributesA), then prints
//                               "PATH=HEX" as GetFileAttributesA reads them
// Exit 0 when everything could be read, 1 otherwise, 2 for bad usage.
#include "project/FormDescription.h"
#include "project/VersionInfo.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string AnsiToUtf8(const std::string& a) {
    if (a.empty()) return std::string();
    const int n = MultiByteToWideChar(CP_ACP, 0, a.data(), static_cast<int>(a.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, a.data(), static_cast<int>(a.size()), &w[0], n);
    return Utf8(w);
}

int Fail(const std::string& what) {
    std::printf("error=%s (error %lu)\n", what.c_str(), GetLastError());
    return 1;
}

bool ReadBytes(const std::string& name, std::string& bytes) {
    HANDLE f = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(f, nullptr);
    DWORD got = 0;
    bytes.resize(size == INVALID_FILE_SIZE ? 0 : size);
    const bool ok = size != INVALID_FILE_SIZE && (size == 0 || ReadFile(f, &bytes[0], size, &got, nullptr)) &&
                    got == size;
    CloseHandle(f);
    return ok;
}

DWORD Dword(const std::string& b, size_t at) {
    return static_cast<BYTE>(b[at]) | static_cast<BYTE>(b[at + 1]) << 8 | static_cast<BYTE>(b[at + 2]) << 16 |
           static_cast<DWORD>(static_cast<BYTE>(b[at + 3])) << 24;
}
WORD Word(const std::string& b, size_t at) {
    return static_cast<WORD>(static_cast<BYTE>(b[at]) | static_cast<BYTE>(b[at + 1]) << 8);
}
size_t Align4(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }

// The first version resource of a .res file: type 16 as an ordinal.
bool FindVersion(const std::string& b, WORD& name, WORD& language, std::string& data) {
    for (size_t at = 0; at + 32 <= b.size();) {
        const DWORD dataSize = Dword(b, at), headerSize = Dword(b, at + 4);
        if (headerSize < 32 || headerSize > b.size() - at || dataSize > b.size() - at - headerSize) return false;
        const bool ordinalType = Word(b, at + 8) == 0xFFFF;
        if (ordinalType && Word(b, at + 10) == 16 && Word(b, at + 12) == 0xFFFF) {
            name = Word(b, at + 14);
            language = Word(b, at + 16 + 6);  // after DataVersion and MemoryFlags
            data = b.substr(at + headerSize, dataSize);
            return true;
        }
        at = Align4(at + headerSize + dataSize);
    }
    return false;
}

int PrintVersion(const std::string& file) {
    DWORD ignored = 0;
    std::wstring wide(MAX_PATH, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, &wide[0], MAX_PATH));
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    std::string info(size, '\0');
    if (size == 0 || !GetFileVersionInfoW(wide.c_str(), 0, size, &info[0])) return Fail("no version information");
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(&info[0], L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return Fail("no fixed file info");
    const VS_FIXEDFILEINFO* f = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("fileversion=%08lX.%08lX\nproductversion=%08lX.%08lX\nflagsmask=%lX\nflags=%lX\nfiletype=%lu\n",
                f->dwFileVersionMS, f->dwFileVersionLS, f->dwProductVersionMS, f->dwProductVersionLS,
                f->dwFileFlagsMask, f->dwFileFlags, f->dwFileType);
    if (!VerQueryValueW(&info[0], L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return Fail("no translation");
    const WORD* pair = static_cast<const WORD*>(value);
    std::printf("translation=%04X %04X\n", pair[0], pair[1]);
    // The component writes no other keys than these twelve.
    for (int i = 0; i < kVersionValueCount; ++i) {
        wchar_t path[80];
        wsprintfW(path, L"\\StringFileInfo\\%04X%04X\\%hs", pair[0], pair[1], KeyName(i));
        if (VerQueryValueW(&info[0], path, &value, &length) && value != nullptr && length > 0)
            std::printf("str.%s=%s\n", KeyName(i), Utf8(static_cast<const wchar_t*>(value)).c_str());
    }
    return 0;
}

int ReadRes(const std::string& res) {
    std::string bytes, data;
    WORD name = 0, language = 0;
    if (!ReadBytes(res, bytes) || !FindVersion(bytes, name, language, data)) return Fail("no version resource");
    char self[MAX_PATH], folder[MAX_PATH], copy[MAX_PATH];
    if (!GetModuleFileNameA(nullptr, self, sizeof self) || !GetTempPathA(sizeof folder, folder) ||
        !GetTempFileNameA(folder, "rr", 0, copy) || !CopyFileA(self, copy, FALSE))
        return Fail("cannot copy this program");
    HANDLE update = BeginUpdateResourceA(copy, TRUE);
    const bool put = update != nullptr &&
                     UpdateResourceA(update, RT_VERSION, MAKEINTRESOURCEA(name), language, &data[0],
                                     static_cast<DWORD>(data.size())) &&
                     EndUpdateResourceA(update, FALSE);
    const int rc = put ? PrintVersion(copy) : Fail("cannot update the copy's resources");
    DeleteFileA(copy);
    return rc;
}

// A printable form of every value; lists one line per entry.
void PrintObject(const TStoredObject& object) {
    for (const TStoredProperty& p : object.properties) {
        const TStoredValue& v = p.value;
        if (v.kind == TStoredValue::Strings) {
            for (size_t i = 0; i < v.lines.size(); ++i)
                std::printf("%s[%u]=%s\n", p.name.c_str(), static_cast<unsigned>(i), AnsiToUtf8(v.lines[i]).c_str());
        } else if (v.kind == TStoredValue::Integer) {
            std::printf("%s=%ld\n", p.name.c_str(), static_cast<long>(v.number));
        } else {
            std::printf("%s=%s\n", p.name.c_str(), AnsiToUtf8(v.text).c_str());
        }
    }
}

int Descr(const std::string& exe, const std::string& dfm) {
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return Fail("cannot load " + exe);
    HRSRC found = FindResourceA(module, "TFRMMAIN", RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes) return Fail("no RCDATA TFRMMAIN");
    const std::string embedded(bytes, SizeofResource(module, found));
    std::string file;
    if (!ReadBytes(dfm, file)) return Fail("cannot read " + dfm);
    try {
        // The values as the component's reader gets them; the same bytes give the same tree.
        const TStoredObject root = ParseDescription(embedded);
        for (const TStoredObject& child : root.children)
            if (child.name == "QUENDRO") PrintObject(child);
        std::printf("bytes=%s\n", embedded == file ? "same" : "different");
        return embedded == file ? 0 : 1;
    } catch (const Exception& e) {
        return Fail(e.Message());
    }
}

int PrintTime(SYSTEMTIME t) {
    char date[80], time[80];
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, sizeof date) ||
        !GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, nullptr, time, sizeof time))
        return Fail("cannot format the time");
    std::printf("now=%s %s\n", AnsiToUtf8(date).c_str(), AnsiToUtf8(time).c_str());
    return 0;
}

// Six numbers a time; none: the current one.
int Now(const std::vector<std::string>& numbers) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    if (numbers.empty()) return PrintTime(t);
    int rc = 0;
    for (size_t at = 0; at + 6 <= numbers.size(); at += 6) {
        WORD* fields[] = {&t.wYear, &t.wMonth, &t.wDay, &t.wHour, &t.wMinute, &t.wSecond};
        for (int i = 0; i < 6; ++i) *fields[i] = static_cast<WORD>(std::atoi(numbers[at + i].c_str()));
        t.wMilliseconds = 0;
        t.wDayOfWeek = 0;  // in neither format
        rc |= PrintTime(t);
    }
    return rc;
}

int Attrib(const std::vector<std::string>& args) {
    int rc = 0;
    for (const std::string& arg : args) {
        const std::size_t equals = arg.find('=');  // never a trail byte
        const std::string path = arg.substr(0, equals);
        if (equals != std::string::npos &&
            !SetFileAttributesA(path.c_str(), std::strtoul(arg.c_str() + equals + 1, nullptr, 16))) {
            rc = Fail("cannot set the attributes of " + AnsiToUtf8(path));
            continue;
        }
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            rc = Fail("cannot read the attributes of " + AnsiToUtf8(path));
            continue;
        }
        std::printf("%s=%lX\n", AnsiToUtf8(path).c_str(), attributes);
    }
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 3 && a[0] == "--descr") return Descr(a[1], a[2]);
    if (!a.empty() && a[0] == "--attrib") return Attrib(std::vector<std::string>(a.begin() + 1, a.end()));
    if (!a.empty() && a[0] == "--now" && a.size() % 6 == 1)
        return Now(std::vector<std::string>(a.begin() + 1, a.end()));
    if (a.size() != 1 || a[0].empty() || a[0][0] == '-') {
        std::fputs("usage: resread FILE.res|FILE.exe | --descr EXE DFM | --now [Y M D h m s]...\n"
                   "       resread --attrib PATH[=HEX]...\n",
                   stderr);
        return 2;
    }
    const std::string& f = a[0];
    const bool res = f.size() > 4 && lstrcmpiA(f.c_str() + f.size() - 4, ".res") == 0;
    return res ? ReadRes(f) : PrintVersion(f);
}
