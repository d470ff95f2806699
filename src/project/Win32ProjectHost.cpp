#include "project/Win32ProjectHost.h"

#include <windows.h>

#include "project/UserReg.h"
#include "system/Win32MessageBoxes.h"
#include "system/Win32Window.h"

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

void Win32ProjectHost::ProcessMessages() { ProcessWaitingMessages(); }

void Win32ProjectHost::SetApplicationTitle(const std::string& title) {
    if (TitleSink) {
        TitleSink(title);
    }
}

IRegistryApi& Win32ProjectHost::Registry() { return PlatformRegistry(); }

IFileSystem& Win32ProjectHost::Files() { return PlatformFileSystem(); }
