#include "run/Run.h"

#include "run/RunLog.h"
#include "system/ExitWin32.h"

void PerformRun(IRunHost& host, const std::string& logPath, const std::function<bool(TRunLog&)>& drives) {
    TRunLog log(host.Clock());
    LoadRunLog(log, host.Files(), logPath);
    AppendRunHeader(log);
    const bool powerOff = drives(log);
    AppendEndOfRun(log);
    SaveRunLog(log, host.Files(), logPath);
    if (powerOff) {
        TExitWin exitWin(nullptr, host.ShutdownApi());
        exitWin.PowerOff();
    }
}
