#include "project/Win32ProjectHost.h"

#include <windows.h>

#include "project/UserReg.h"
#include "system/Win32Files.h"
#include "system/Win32MessageBoxes.h"
#include "system/Win32Window.h"

static_assert(kFileNameTooLong == ERROR_FILENAME_EXCED_RANGE, "the error of a name too long");

int Win32ProjectHost::MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned style) {
    return Win32MessageBoxes().MessageBoxA(owner, text, caption, style);
}

std::string Win32ProjectHost::Timestamp() {
    // The regional settings decide the form, not a fixed pattern.
    char date[80];
    char time[80];
    if (::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date) == 0) {
        date[0] = '\0';
    }
    if (::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time) == 0) {
        time[0] = '\0';
    }
    return std::string(date) + " " + time;
}

int Win32ProjectHost::CurrentYear() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return now.wYear;
}

std::size_t Win32ProjectHost::FullPathName(const std::string& name, std::string& full, std::uint32_t& error) {
    char buffer[kMaxFullPath];
    char* filePart = nullptr;
    const DWORD got = ::GetFullPathNameA(name.c_str(), sizeof buffer, buffer, &filePart);
    error = got == 0 ? ::GetLastError() : 0;
    full = got > 0 && got < sizeof buffer ? std::string(buffer, got) : std::string();
    return got;
}

std::string Win32ProjectHost::CurrentDirectory() {
    char buffer[kMaxFullPath];
    const DWORD got = ::GetCurrentDirectoryA(sizeof buffer, buffer);
    return got > 0 && got < sizeof buffer ? std::string(buffer, got) : std::string();
}

bool Win32ProjectHost::FolderExists(const std::string& path) { return IsFolderAttributes(FileAttributes(path)); }

bool Win32ProjectHost::CreateFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

void Win32ProjectHost::ProcessMessages() { ProcessWaitingMessages(); }

void Win32ProjectHost::SetApplicationTitle(const std::string& title) {
    if (TitleSink) {
        TitleSink(title);
    }
}

IRegistryApi& Win32ProjectHost::Registry() { return PlatformRegistry(); }

TResFileSystem& Win32ProjectHost::ResFiles() { return PlatformResFileSystem(); }
