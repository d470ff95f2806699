// setup.exe's helper DLL (packed into the installer and its uninstaller,
// called with NSIS's System plugin): the package's own code for the folder's
// access list and for removing this installation's at jobs, so that the two
// installers do the same. Strings are ANSI (code page 932).
#include "Schedule.h"

// SetNamedSecurityInfoA's result for FOLDER.
extern "C" __declspec(dllexport) DWORD __stdcall SecureFolder(const char* folder)
{
    return schedule::SecureFolder(folder);
}

// Deletes the jobs whose program is EXE with AT (quoted at.exe); the number
// deleted. REPORT (SIZE bytes) receives at's listing and what was done.
extern "C" __declspec(dllexport) int __stdcall RemoveJobs(const char* at, const char* exe, char* report, int size)
{
    std::string text;
    const int deleted = schedule::RemoveJobs(at, exe, text);
    if (report && size > 0) lstrcpynA(report, text.c_str(), size);
    return deleted;
}
