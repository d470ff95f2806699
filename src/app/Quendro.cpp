// Process entry of quendro.exe.
#include <windows.h>

#include <cstdlib>

#include "app/Win32EntryHost.h"

// An exception nobody catches ends the program as the runtime's default does
// (abort, exit code 3), without its message on a console this window program
// does not have: that message's demangler and printf are a quarter of the exe.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The runtime has split the command line the way the platform does.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
    Win32EntryHost host;
    return QuendroMain(host, args);
}
