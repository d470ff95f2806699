#include "app/CommandLine.h"

#include "run/RunLog.h"

namespace {

const char* const kNoDrive = "　ドライブが存在しないかデフラグできません。";

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
        bool stop = false;
        auto fail = [&](const std::string& line) {
            AddLogLine(log, line);
            allSucceeded = false;
            LogContinueOrAbort(log, continueOnError);
            stop = !continueOnError;
        };
        auto runDrive = [&](const std::string& spec) {
            if (host.Drives().DriveType(DriveRoot(spec[0])) != drivetype::kFixed)
                fail(spec + kNoDrive);
            else if (!host.DefragDrive(spec[0], log))
                fail(spec + "　正しく実行できませんでした。");
        };
        for (const std::string& s : upper) {
            if (IsDriveSpec(s)) {
                runDrive(s);
            } else if (s == "/A") {
                // Each fixed drive as if its letter had been written here.
                const std::string letters = FixedDriveLetters(host.Drives());
                if (letters.empty()) fail(s + kNoDrive);
                for (std::size_t i = 0; i < letters.size() && !stop; ++i) runDrive({letters[i], ':'});
            } else if (s != "/S" && s != "/E") {
                fail("引数が不正です。（" + s + "）");
            }
            if (stop) break;
        }
        return RunOutcome{allSucceeded, powerOffAfterRun};
    });
}
