#include "Schedule.h"

#include "AtJobs.h"
#include "FolderAccess.h"
#include "system/Text.h"

#include <aclapi.h>

#include <vector>

namespace schedule {

long Run(const std::string& command, std::string* output, DWORD limit)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE read = NULL, write = NULL;
    if (!CreatePipe(&read, &write, &inherit, 0)) return -1;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_HIDE;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = write;
    start.hStdError = write;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    const BOOL started = CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &start,
                                        &process);
    CloseHandle(write);
    if (!started) {
        CloseHandle(read);
        return -1;
    }
    // The pipe is read without blocking so that a hung at.exe is ended at
    // the limit (a blocking read would wait for it).
    const DWORD begin = GetTickCount();
    bool ended = false, killed = false;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(read, NULL, 0, NULL, &available, NULL)) break;  // closed: everything read
        if (available) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(read, buffer, available < sizeof buffer ? available : sizeof buffer, &got, NULL)) break;
            if (output) output->append(buffer, got);
            continue;
        }
        if (ended) break;
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
            ended = true;  // one more look for what it wrote last
        } else if (GetTickCount() - begin >= limit) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
            killed = true;
            break;
        }
    }
    CloseHandle(read);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return killed ? -2 : static_cast<long>(code);
}

namespace {

// EXE's names: as given, and its 8.3 path (a job added by hand may use it).
std::vector<std::string> Names(const std::string& exe)
{
    std::vector<std::string> names(1, exe);
    char brief[MAX_PATH];
    const DWORD n = GetShortPathNameA(exe.c_str(), brief, MAX_PATH);
    if (n > 0 && n < MAX_PATH) names.push_back(brief);
    return names;
}

std::vector<AtJob> Ours(const std::string& at, const std::string& exe, std::string& report)
{
    std::string listing;
    const long code = Run(at, &listing);
    report += "at (" + DecimalText(code) + "):\r\n" + listing;
    std::vector<AtJob> ours;
    if (code != 0) return ours;
    const std::vector<std::string> names = Names(exe);
    for (const AtJob& job : ListedJobs(listing))
        if (RunsProgram(job.command, names)) ours.push_back(job);
    return ours;
}

} // namespace

int RemoveJobs(const std::string& at, const std::string& exe, std::string& report)
{
    int deleted = 0;
    for (const AtJob& job : Ours(at, exe, report)) {
        const long code = Run(at + " " + job.id + " /delete", NULL);
        report += "at " + job.id + " /delete: " + DecimalText(code) + "\r\n";
        if (code == 0) ++deleted;
    }
    return deleted;
}

bool HasJob(const std::string& at, const std::string& exe, std::string& report)
{
    return !Ours(at, exe, report).empty();
}

DWORD SecureFolder(const std::string& folder)
{
    std::vector<std::uint8_t> acl = folderaccess::FolderAcl();
    std::vector<std::uint8_t> owner = folderaccess::AdministratorsSid();
    std::vector<char> path(folder.begin(), folder.end());
    path.push_back('\0');
    return SetNamedSecurityInfoA(&path[0], SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                     PROTECTED_DACL_SECURITY_INFORMATION,
                                 &owner[0], NULL, reinterpret_cast<PACL>(&acl[0]), NULL);
}

} // namespace schedule
