// The installers' at runner (installer/Schedule.h) against real processes
// under Wine: exit codes and output come back, and a program that does not
// end is ended at the limit (at.exe gets 60 s; here 20 s, so that even a cold
// start of the child under emulation on a loaded machine, about 4 s, has
// printed its process id by then).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Schedule.h"

namespace {

int failures = 0;

#define CHECK(c) ((c) ? void() : (std::printf("line %d: %s (error %lu)\n", __LINE__, #c, ::GetLastError()), ++failures, void()))

std::string Self()
{
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(NULL, path, MAX_PATH);
    return std::string("\"") + std::string(path, n < MAX_PATH ? n : 0) + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    // The programs it runs: itself.
    if (argc == 3 && std::string(argv[1]) == "exit") {
        std::printf("exiting\n");
        return std::atoi(argv[2]);
    }
    if (argc == 2 && std::string(argv[1]) == "hang") {
        std::printf("%lu\n", ::GetCurrentProcessId());
        std::fflush(stdout);
        ::Sleep(INFINITE);
    }

    std::string output;
    CHECK(schedule::Run(Self() + " exit 7", &output) == 7 && output == "exiting\r\n");
    CHECK(schedule::Run("\"C:\\no such\\at.exe\"", NULL) == -1);

    output.clear();
    const DWORD start = ::GetTickCount();
    const DWORD limit = 20000;
    CHECK(schedule::Run(Self() + " hang", &output, limit) == -2);
    const DWORD took = ::GetTickCount() - start;
    CHECK(took >= limit && took < limit + 10000);
    // What it wrote before the limit is kept; the process is gone.
    const DWORD pid = std::strtoul(output.c_str(), NULL, 10);
    CHECK(pid != 0);
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    CHECK(!process || ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0);
    if (process) ::CloseHandle(process);

    std::printf("%s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
