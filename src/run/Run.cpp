#include "run/Run.h"

#include "run/RunLog.h"
#include "system/ExitWin32.h"

const char* const kRunEventSource = "Quendro";

RunEventRecord RunEventRecordFor(RunEventType type) {
    // The ids of resources/events.mc: severity in the top two bits.
    switch (type) {
    case RunEventType::kInformation: return {0x0004, 0x400003E8UL};
    case RunEventType::kWarning: return {0x0002, 0x800003E9UL};
    case RunEventType::kError: break;
    }
    return {0x0001, 0xC00003EAUL};
}

void PerformRun(IRunHost& host, const std::string& logPath, const std::function<RunOutcome(TRunLog&)>& drives) {
    {
        // Read now so that an unreadable log ends the run before any drive;
        // the save reads it again, as other runs may save meanwhile.
        TRunLog history(host.Clock());
        try {
            LoadRunLog(history, host.Files(), logPath);
        } catch (const Exception& error) {
            host.Events().Report(RunEventType::kError, error.Message());
            throw;
        }
    }
    TRunLog log(host.Clock());
    AppendRunHeader(log);
    const RunOutcome outcome = drives(log);
    AppendEndOfRun(log);
    const std::string& block = log.Image();
    try {
        SaveRunBlock(block, host.Clock(), host.Files(), logPath);
        if (outcome.powerOff) {
            TExitWin exitWin(nullptr, host.ShutdownApi());
            exitWin.PowerOff();
        }
    } catch (...) {
        host.Events().Report(RunEventType::kError, block);
        throw;
    }
    host.Events().Report(outcome.allSucceeded ? RunEventType::kInformation : RunEventType::kWarning, block);
}
