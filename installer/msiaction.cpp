// Custom actions of quendro-V.msi (the Binary table's QuendroActions):
// Windows Installer 1.1 conditions cannot check the schedule's values as
// setup.exe does, and an EXE action can neither set properties nor report a
// message in /qn, so a DLL does it. The deferred ones run as LocalSystem at
// the sequence numbers release.py sets (after the files for the schedule).
//
//   Prepare          immediate, after CostFinalize: sets QuendroFolder and
//                    ARPINSTALLLOCATION (INSTALLDIR without its last
//                    backslash); on install checks SCHEDULE_TIME,
//                    SCHEDULE_DAYS, SCHEDULE_ARGS and SCHEDULE_INTERACTIVE
//                    with setup.exe's rules (a bad value: an error message
//                    and 1603, before anything is installed) and hands the
//                    deferred actions their data; QuendroSchedule (at's
//                    arguments) is stored in the registry for a removal's
//                    rollback.
//   SecureFolder     deferred: the folder's access list (Schedule.h).
//   AddSchedule      deferred: runs the at command line.
//   UndoAddSchedule  rollback of AddSchedule: deletes this installation's jobs.
//   RemoveSchedule   deferred, on removal: deletes the jobs whose program is
//                    this installation's quendro.exe.
//   RestoreSchedule  rollback of RemoveSchedule: adds the stored job again
//                    when none of ours is listed (the one this package
//                    added; a job changed or added by hand since is not
//                    known to it).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "Schedule.h"
#include "system/Text.h"

#include <string>
#include <vector>

namespace {

std::string Property(MSIHANDLE install, const char* name)
{
    char small[1] = {0};
    DWORD size = 0;
    if (MsiGetPropertyA(install, name, small, &size) != ERROR_MORE_DATA) return std::string();
    std::vector<char> buffer(size + 1);
    size = static_cast<DWORD>(buffer.size());
    if (MsiGetPropertyA(install, name, &buffer[0], &size) != ERROR_SUCCESS) return std::string();
    return std::string(&buffer[0], size);
}

// Sends TEXT to the installer: shown by the UI levels that show it, always
// written to the log. [1] keeps brackets in the user's values unformatted.
int Message(MSIHANDLE install, INSTALLMESSAGE kind, const std::string& text)
{
    MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringA(record, 0, "[1]");
    MsiRecordSetStringA(record, 1, text.c_str());
    const int answer = MsiProcessMessage(install, kind, record);
    MsiCloseHandle(record);
    return answer;
}

bool Digit(char c) { return c >= '0' && c <= '9'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// ASCII letters compared without case, as NSIS's string comparison does.
bool SameText(const std::string& a, const char* b)
{
    if (a.size() != static_cast<size_t>(lstrlenA(b))) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// Splits at every SEPARATOR; "a,,b" has an empty part, a trailing separator
// none (as setup.exe's SplitFirst loop).
std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string rest = text;
    while (!rest.empty()) {
        const size_t at = rest.find(separator);
        if (at == std::string::npos) {
            parts.push_back(rest);
            break;
        }
        parts.push_back(rest.substr(0, at));
        rest.erase(0, at + 1);
    }
    return parts;
}

// H:MM or HH:MM, 00:00 to 23:59, written HH:MM; empty ERROR when fine.
std::string CheckTime(std::string& time)
{
    const std::string bad = "時刻 " + time + " は使えません。00:00 から 23:59 の形で指定してください。";
    const size_t colon = time.find(':');
    std::string hour = colon == std::string::npos ? time : time.substr(0, colon);
    const std::string minute = colon == std::string::npos ? std::string() : time.substr(colon + 1);
    if (hour.size() == 2 && hour[0] == '0') hour.erase(0, 1);
    if (hour.empty() || hour.size() > 2 || !Digit(hour[0]) || (hour.size() == 2 && !Digit(hour[1]))) return bad;
    const int h = hour.size() == 2 ? (hour[0] - '0') * 10 + (hour[1] - '0') : hour[0] - '0';
    if (h > 23 || minute.size() != 2 || minute[0] < '0' || minute[0] > '5' || !Digit(minute[1])) return bad;
    time = std::string(1, static_cast<char>('0' + h / 10)) + static_cast<char>('0' + h % 10) + ":" + minute;
    return std::string();
}

const char* const kDays[] = {"M", "T", "W", "Th", "F", "S", "Su"};

// at's day names separated by commas, written in at's order.
std::string CheckDays(std::string& days)
{
    if (days.empty()) return "実行する曜日を選んでください。";
    bool listed[7] = {false};
    for (const std::string& day : Split(days, ',')) {
        bool known = false;
        for (int i = 0; i < 7; ++i)
            if (SameText(day, kDays[i])) listed[i] = known = true;
        if (!known) return "曜日 " + day + " は使えません (M,T,W,Th,F,S,Su)。";
    }
    std::string out;
    for (int i = 0; i < 7; ++i)
        if (listed[i]) out += (out.empty() ? "" : ",") + std::string(kDays[i]);
    days = out;
    return std::string();
}

// Drives and switches as on quendro.exe's command line, at least one drive
// or /A (every fixed drive); blanks made single.
std::string CheckArgs(std::string& args)
{
    std::string out;
    int drives = 0;
    for (const std::string& word : Split(args, ' ')) {
        if (word.empty()) continue;
        const char letter = Upper(word[0]);
        if ((word.size() == 2 && word[1] == ':' && letter >= 'A' && letter <= 'Z') || SameText(word, "/A"))
            ++drives;
        else if (!SameText(word, "/E") && !SameText(word, "/S"))
            return word + " はドライブ (C: など) でも /A、/E、/S でもありません。";
        out += (out.empty() ? "" : " ") + word;
    }
    if (drives == 0) return "デフラグするドライブを指定してください (例: C: D: /E、すべての固定ドライブなら /A /E)。";
    args = out;
    return std::string();
}

} // namespace

namespace {

// "A\tB\tC" -> {A, B, C}: the parts of a deferred action's data.
std::vector<std::string> Fields(const std::string& data)
{
    std::vector<std::string> fields = Split(data, '\t');
    if (!data.empty() && data[data.size() - 1] == '\t') fields.push_back(std::string());
    return fields;
}

// at's command line adding the job: WHEN (time, /interactive, days) and the
// task, one argument of at with its program quoted inside.
std::string AtCommand(const std::string& at, const std::string& when, const std::string& exe, const std::string& args)
{
    return at + " " + when + " \"\\\"" + exe + "\\\" " + args + "\"";
}

} // namespace

extern "C" UINT __stdcall Prepare(MSIHANDLE install)
{
    const std::string at = "\"" + Property(install, "SystemFolder") + "at.exe\"";
    std::string folder = Property(install, "INSTALLDIR");
    const std::string exe = folder + "quendro.exe";
    // The folder as setup.exe writes it: no last backslash.
    if (folder.size() > 3 && folder[folder.size() - 1] == '\\') folder.erase(folder.size() - 1);
    MsiSetPropertyA(install, "QuendroFolder", folder.c_str());
    MsiSetPropertyA(install, "ARPINSTALLLOCATION", folder.c_str());
    if (Property(install, "REMOVE") == "ALL") {
        // The installed exe, wherever it went (INSTALLDIR is not restored by
        // every Installer on removal).
        std::string installed = exe;
        char path[MAX_PATH] = {0};
        DWORD size = MAX_PATH;
        if (MsiGetComponentPathA(Property(install, "ProductCode").c_str(),
                                 Property(install, "QuendroExeComponent").c_str(), path, &size) == INSTALLSTATE_LOCAL) {
            installed = path;
            // Wine's msi removes from INSTALLDIR's default otherwise; the
            // folder is the path without "quendro.exe" (no separator search
            // through code page 932 trail bytes).
            const std::string name = "quendro.exe";
            if (installed.size() > name.size())
                MsiSetTargetPathA(install, "INSTALLDIR", installed.substr(0, installed.size() - name.size()).c_str());
        }
        MsiSetPropertyA(install, "RemoveSchedule", (at + "\t" + installed).c_str());
        // The job stored at install (AppSearch), added again if the removal fails.
        const std::string stored = Property(install, "QUENDRO_SCHEDULE");
        if (!stored.empty())
            MsiSetPropertyA(install, "RestoreSchedule", (at + "\t" + installed + "\t" + stored).c_str());
        return ERROR_SUCCESS;
    }
    if (!Property(install, "Installed").empty()) return ERROR_SUCCESS;
    MsiSetPropertyA(install, "SecureFolder", folder.c_str());

    std::string time = Property(install, "SCHEDULE_TIME");
    std::string days = Property(install, "SCHEDULE_DAYS");
    std::string args = Property(install, "SCHEDULE_ARGS");
    const std::string interactive = Property(install, "SCHEDULE_INTERACTIVE");
    if (time.empty()) {
        if (days.empty() && args.empty()) return ERROR_SUCCESS;
        Message(install, INSTALLMESSAGE_ERROR,
                "SCHEDULE_DAYS と SCHEDULE_ARGS は、時刻 SCHEDULE_TIME とともに指定してください。");
        return ERROR_INSTALL_FAILURE;
    }
    // setup.exe's page defaults.
    if (days.empty()) days = "Su";
    if (args.empty()) args = "C: /E";
    const struct {
        const char* name;
        std::string error;
    } checks[] = {{"SCHEDULE_TIME", CheckTime(time)}, {"SCHEDULE_DAYS", CheckDays(days)},
                  {"SCHEDULE_ARGS", CheckArgs(args)},
                  {"SCHEDULE_INTERACTIVE", interactive.empty() || interactive == "0" || interactive == "1"
                                               ? std::string()
                                               : interactive + " は使えません (1 または 0)。"}};
    for (const auto& check : checks) {
        if (!check.error.empty()) {
            Message(install, INSTALLMESSAGE_ERROR, std::string(check.name) + ": " + check.error);
            return ERROR_INSTALL_FAILURE;
        }
    }
    const std::string when = time + (interactive == "0" ? "" : " /interactive") + " /every:" + days;
    MsiSetPropertyA(install, "AddSchedule", AtCommand(at, when, exe, args).c_str());
    MsiSetPropertyA(install, "UndoAddSchedule", (at + "\t" + exe).c_str());
    // Stored without quotes or backslashes: Wine's AppSearch gave back
    // 'T /every:Su "\' of a raw value 'T /every:Su "\"C:\...' (measured).
    MsiSetPropertyA(install, "QuendroSchedule", (when + "\t" + args).c_str());
    return ERROR_SUCCESS;
}

extern "C" UINT __stdcall SecureFolder(MSIHANDLE install)
{
    const std::string folder = Property(install, "CustomActionData");
    const DWORD error = schedule::SecureFolder(folder);
    Message(install, INSTALLMESSAGE_INFO, "アクセス許可を設定します: " + folder + ": " + DecimalText(static_cast<long>(error)));
    if (error == ERROR_SUCCESS) return ERROR_SUCCESS;
    // quendro.exe runs as SYSTEM from there: a folder others can write to is
    // not installed.
    Message(install, INSTALLMESSAGE_ERROR,
            folder + " のアクセス許可を設定できませんでした (エラー " + DecimalText(static_cast<long>(error)) +
                ")。NTFS のドライブにインストールしてください。");
    return ERROR_INSTALL_FAILURE;
}

extern "C" UINT __stdcall AddSchedule(MSIHANDLE install)
{
    const std::string command = Property(install, "CustomActionData");
    std::string output;
    const long code = schedule::Run(command, &output);
    Message(install, INSTALLMESSAGE_INFO,
            "定期実行を登録します: " + command + "\r\n" + output + "at の終了コード: " + DecimalText(code));
    // As setup.exe: the files stay, the failure is reported.
    if (code != 0)
        Message(install, INSTALLMESSAGE_WARNING,
                "定期実行を登録できませんでした (at の終了コード " + DecimalText(code) +
                    ")。タスク スケジューラ サービスが動いているか確かめて、あとで「コントロール パネル」の「タスク」から登録してください。");
    return ERROR_SUCCESS;
}

// The jobs of the exe in the data "at\texe" deleted; never stops the
// installer (a job left behind is reported in the log).
extern "C" UINT __stdcall RemoveSchedule(MSIHANDLE install)
{
    const std::vector<std::string> data = Fields(Property(install, "CustomActionData"));
    if (data.size() < 2) return ERROR_SUCCESS;
    std::string report;
    const int deleted = schedule::RemoveJobs(data[0], data[1], report);
    Message(install, INSTALLMESSAGE_INFO, report + "削除したジョブ: " + DecimalText(deleted));
    return ERROR_SUCCESS;
}

extern "C" UINT __stdcall UndoAddSchedule(MSIHANDLE install) { return RemoveSchedule(install); }

extern "C" UINT __stdcall RestoreSchedule(MSIHANDLE install)
{
    const std::vector<std::string> data = Fields(Property(install, "CustomActionData"));
    if (data.size() < 4) return ERROR_SUCCESS;
    std::string report;
    if (!schedule::HasJob(data[0], data[1], report)) {
        const long code = schedule::Run(AtCommand(data[0], data[2], data[1], data[3]), &report);
        report += "at の終了コード: " + DecimalText(code);
    }
    Message(install, INSTALLMESSAGE_INFO, "定期実行を戻します:\r\n" + report);
    return ERROR_SUCCESS;
}
