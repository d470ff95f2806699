// Process entry of quendro.exe.
#include <windows.h>

#include <cstdlib>

#include "app/Win32EntryHost.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The runtime has split the command line the way the platform does.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    Win32EntryHost host;
    return QuendroMain(host, args);
}
