#pragma once
// The entry's and the command-line run's view of the real system.
#include "app/CommandLine.h"
#include "app/Entry.h"
#include "run/Win32ConsoleWindows.h"
#include "run/Win32RunEvents.h"
#include "system/Win32Clock.h"
#include "system/Win32DriveTypes.h"
#include "system/Win32FileSystem.h"
#include "system/Win32Shutdown.h"

// GetVersionExA with the structure size 148.
int CheckWindowsVersion();

class Win32CommandLineHost : public ICommandLineHost {
public:
    std::string UpperCase(const std::string& text) override;
    IDriveInfo& Drives() override { return drives_; }
    bool DefragDrive(char letter, TRunLog& log) override;
    IFileSystem& Files() override { return files_; }
    ILogClock& Clock() override { return clock_; }
    IShutdownApi& ShutdownApi() override { return shutdown_; }
    IRunEvents& Events() override { return events_; }

private:
    Win32ConsoleWindows windows_;
    Win32DriveInfo drives_;
    Win32FileSystem files_;
    Win32Clock clock_;
    Win32Shutdown shutdown_;
    Win32RunEvents events_;
};

class Win32EntryHost : public IEntryHost {
public:
    int MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                   unsigned style) override;
    int CheckWindowsVersion() override { return ::CheckWindowsVersion(); }
    void RunCommandLine(const std::vector<std::string>& args) override;
    int RunWindowMode() override;
};
