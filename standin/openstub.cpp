// Stands in for the program associated with .txt files: records the command
// line it was started with and ends at once. Also used to warm a prefix up.
#include "Record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string target = record::Env("QUENDRO_OPEN_RECORD");
    if (target.empty()) return 0;
    std::string line = record::EpochMs() + " " + record::Number(GetCurrentProcessId()) +
                       " open " + GetCommandLineA();
    return record::AppendLine(target, line) ? 0 : 2;
}
