// The shipped backup engine over one folder tree, for scripts/bench-backup.sh:
//   backup_bench SOURCE TARGET   copies every file below SOURCE into the same
//                                places below TARGET, as a full backup does
// Exit 0 when every file was copied; 1 with the engine's error otherwise.
#include <windows.h>

#include <cstdio>

#include "project/Backup.h"
#include "project/Win32ProjectHost.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: backup_bench SOURCE TARGET\n", stderr);
        return 2;
    }
    Win32ProjectHost host;
    TBackup backup(host.Files(), host);
    try {
        backup.ForceFolder(argv[2]);
        backup.SetTargetPath(argv[2]);
        backup.SetSourcePath(argv[1]);
        backup.SetFileMasks("*.*");
        const DWORD start = ::GetTickCount();
        const bool ok = backup.Execute();
        std::printf("%lu ms\n", ::GetTickCount() - start);
        return ok ? 0 : 1;
    } catch (const Exception& e) {
        std::fprintf(stderr, "backup_bench: %s\n", e.Message().c_str());
        return 1;
    }
}
