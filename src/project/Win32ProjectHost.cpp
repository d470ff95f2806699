#include "project/Win32ProjectHost.h"

#include <windows.h>

#include "project/UserReg.h"

static_assert(mb::kYesNoCancel == MB_YESNOCANCEL && mb::kYesNo == MB_YESNO && mb::kIconQuestion == MB_ICONQUESTION &&
                  mb::kIdYes == IDYES && mb::kIdNo == IDNO && mb::kIdCancel == IDCANCEL,
              "message box styles and answers");
static_assert(kFileNameTooLong == ERROR_FILENAME_EXCED_RANGE, "the error of a name too long");

int Win32ProjectHost::MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned style) {
    return ::MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, style);
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

bool Win32ProjectHost::FolderExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32ProjectHost::CreateFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

void Win32ProjectHost::ProcessMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave it for the loop that owns the thread.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void Win32ProjectHost::SetApplicationTitle(const std::string& title) {
    if (TitleSink) {
        TitleSink(title);
    }
}

IRegistryApi& Win32ProjectHost::Registry() { return PlatformRegistry(); }

TResFileSystem& Win32ProjectHost::ResFiles() { return PlatformResFileSystem(); }
