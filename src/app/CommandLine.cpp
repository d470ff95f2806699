#include "app/CommandLine.h"

#include "run/RunLog.h"

namespace {

bool IsDriveSpec(const std::string& s) {
    return s.size() == 2 && s[0] >= 'A' && s[0] <= 'Z' && s[1] == ':';
}

void LogContinueOrAbort(TRunLog& log, bool continueOnError) {
    AddLogLine(log, continueOnError ? "エラーが発生しましたが続行します。"
                                    : "エラーが発生したため処理を中止しました。");
}

}  // namespace

void RunCommandLine(ICommandLineHost& host, const std::vector<std::string>& args,
                    const std::string& logPath) {
    std::vector<std::string> upper;
    upper.reserve(args.size());
    for (const std::string& arg : args) upper.push_back(host.UpperCase(arg));

    // Switches act on the whole run, wherever they stand.
    bool powerOffAfterRun = false;
    bool continueOnError = false;
    for (const std::string& s : upper) {
        if (s == "/S")
            powerOffAfterRun = true;
        else if (s == "/E")
            continueOnError = true;
    }

    // The power-off follows a run that failed too.
    PerformRun(host, logPath, [&](TRunLog& log) {
        bool allSucceeded = true;
        for (const std::string& s : upper) {
            if (IsDriveSpec(s)) {
                if (host.DriveType(s + "\\") == drivetype::kFixed) {
                    if (host.DefragDrive(s[0], log)) continue;
                    AddLogLine(log, s + "　正しく実行できませんでした。");
                } else {
                    AddLogLine(log, s + "　ドライブが存在しないかデフラグできません。");
                }
            } else if (s == "/S" || s == "/E") {
                continue;
            } else {
                AddLogLine(log, "引数が不正です。（" + s + "）");
            }
            allSucceeded = false;
            LogContinueOrAbort(log, continueOnError);
            if (!continueOnError) break;
        }
        return RunOutcome{allSucceeded, powerOffAfterRun};
    });
}
