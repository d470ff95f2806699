#include "app/Win32EntryHost.h"

#include "run/DefragDrive.h"
#include "run/Win32LogPath.h"
#include "system/Win32MessageBoxes.h"
#include "ui/Application.h"
#include "ui/ControlIds.h"
#include "ui/Main.h"

int CheckWindowsVersion() {
    OSVERSIONINFOA info;
    static_assert(sizeof info == 148, "OSVERSIONINFOA");
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return 0;
    return WindowsVersionCode(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

std::string Win32CommandLineHost::UpperCase(const std::string& text) {
    std::string upper = text;
    if (!upper.empty()) ::CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    return upper;
}

bool Win32CommandLineHost::DefragDrive(char letter, TRunLog& log) {
    return ::DefragDrive(windows_, letter, log, kCommandLineDefrag);
}

int Win32EntryHost::MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                               unsigned style) {
    return Win32MessageBoxes().MessageBoxA(owner, text, caption, style);
}

void Win32EntryHost::RunCommandLine(const std::vector<std::string>& args) {
    Win32CommandLineHost host;
    ::RunCommandLine(host, args, ExecutableLogPath());
}

int Win32EntryHost::RunWindowMode() {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    Application.HelpFile = "DAVIRAZ.OVA";
    Application.Title = "Quendro";
    TfrmMain form;
    HWND window = form.Create(instance);
    if (!window) return 0;
    Application.MainWindow = window;
    Application.Accelerators = ::LoadAcceleratorsA(instance, MAKEINTRESOURCEA(idAccelerators));
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    return Application.Run();
}
