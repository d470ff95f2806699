// Stand-in for Windows 2000's at.exe in the release tests (not part of the
// release): appends its whole command line, as UTF-8, to the file named by
// QUENDRO_AT_RECORD and exits with QUENDRO_AT_EXIT (default 0; anything else
// prints an error instead). Like at it keeps jobs, in the file named by
// QUENDRO_AT_JOBS (a line "ID<tab>days<tab>time<tab>command", UTF-8):
//   at                 lists them
//   at ID /delete      deletes one
//   at TIME ... CMD    adds one (CMD its last argument) and prints its ID.
#include "../standin/Record.h"

#include <shellapi.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

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

// The console's code page 932 from UTF-8.
std::string Ansi(const std::string& utf8)
{
    std::wstring wide(utf8.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    std::string out(static_cast<size_t>(n) * 2 + 1, '\0');
    const int m = WideCharToMultiByte(932, 0, wide.c_str(), -1, &out[0], static_cast<int>(out.size()), NULL, NULL);
    out.resize(m > 0 ? static_cast<size_t>(m - 1) : 0);
    return out;
}

// TEXT (code page 932) in a column of WIDTH bytes: cut with "..." when longer,
// a blank always after it.
std::string Field(std::string text, size_t width)
{
    if (text.size() >= width) {
        size_t keep = 0;
        while (keep < text.size()) {
            const size_t next = keep + (IsDBCSLeadByteEx(932, static_cast<BYTE>(text[keep])) ? 2 : 1);
            if (next > width - 4) break;
            keep = next;
        }
        text = text.substr(0, keep) + "...";
    }
    return text + std::string(width - text.size(), ' ');
}

void Print(const std::string& text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, NULL);
}

struct Job {
    long id;
    std::string days, time, command;
};

std::vector<Job> Load(const std::string& path)
{
    std::vector<Job> jobs;
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Job job;
        std::string id;
        if (std::getline(fields, id, '\t') && std::getline(fields, job.days, '\t') &&
            std::getline(fields, job.time, '\t') && std::getline(fields, job.command)) {
            job.id = std::atol(id.c_str());
            jobs.push_back(job);
        }
    }
    return jobs;
}

void Store(const std::string& path, const std::vector<Job>& jobs)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    for (const Job& job : jobs)
        out << job.id << '\t' << job.days << '\t' << job.time << '\t' << job.command << '\n';
}

} // namespace

int main()
{
    const wchar_t* line = GetCommandLineW();
    record::AppendLine(record::Env("QUENDRO_AT_RECORD"), Utf8(line));
    const int code = std::atoi(record::Env("QUENDRO_AT_EXIT").c_str());
    if (code != 0) {
        // The texts are code page 932, as a Japanese console shows them.
        Print("サービスが開始されていません。\r\n");
        return code;
    }
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(line, &argc);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
    const std::string store = record::Env("QUENDRO_AT_JOBS");
    std::vector<Job> jobs = store.empty() ? std::vector<Job>() : Load(store);

    if (args.empty()) {
        if (jobs.empty()) {
            Print("一覧にエントリはありません。\r\n");
            return 0;
        }
        // A Japanese Windows 2000 guide's header; the command starts in its
        // title's column (byte 37), the days cut to their column as at cuts
        // a long list.
        Print("ステータス ID   日付       時刻      コマンド\r\n"
              "-------------------------------------------------------------------------------\r\n");
        for (const Job& job : jobs)
            Print(std::string(11, ' ') + Field(record::Number(static_cast<unsigned long>(job.id)), 5) +
                  Field(Ansi("毎週 " + job.days), 11) + Field(job.time, 10) + Ansi(job.command) + "\r\n");
        return 0;
    }
    if (args.size() == 2 && args[1] == "/delete") {
        const long id = std::atol(args[0].c_str());
        for (size_t i = 0; i < jobs.size(); ++i) {
            if (jobs[i].id == id) {
                jobs.erase(jobs.begin() + static_cast<long>(i));
                Store(store, jobs);
                return 0;
            }
        }
        Print("このジョブ ID はありません。\r\n");
        return 1;
    }
    Job job;
    job.id = 1;
    for (const Job& other : jobs)
        if (other.id >= job.id) job.id = other.id + 1;
    job.time = args[0];
    for (const std::string& arg : args)
        if (arg.compare(0, 7, "/every:") == 0) job.days = arg.substr(7);
    job.command = args.back();
    if (!store.empty()) {
        jobs.push_back(job);
        Store(store, jobs);
    }
    Print("新しいジョブをジョブ ID = " + record::Number(static_cast<unsigned long>(job.id)) + " で追加しました。\r\n");
    return 0;
}
