// Stand-in for Windows 2000's at.exe in the release tests (not part of the
// release): appends its whole command line, as UTF-8, to the file named by
// QUENDRO_AT_RECORD, prints what at prints when it adds a job, and exits with
// QUENDRO_AT_EXIT (default 0; anything else prints an error instead).
#include "../standin/Record.h"

#include <cstdlib>

namespace {

std::string Utf8(const wchar_t* text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, NULL, NULL);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

void Print(const char* text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, NULL);
}

} // namespace

int main()
{
    record::AppendLine(record::Env("QUENDRO_AT_RECORD"), Utf8(GetCommandLineW()));
    const int code = std::atoi(record::Env("QUENDRO_AT_EXIT").c_str());
    // The texts are code page 932, as a Japanese console shows them.
    Print(code == 0 ? "新しいジョブをジョブ ID = 1 で追加しました。\r\n"
                    : "サービスが開始されていません。\r\n");
    return code;
}
