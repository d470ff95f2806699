#pragma once
// One run, as both modes make it: log.txt loaded, the run header, the drives,
// the end-of-run line, the save, then the power-off when it is due.
#include <functional>
#include <string>

class ILogClock;
class ILogFiles;
class IShutdownApi;
class TRunLog;

// What a run needs besides the drives.
class IRunHost {
public:
    virtual ~IRunHost() = default;
    virtual ILogFiles& Files() = 0;
    virtual ILogClock& Clock() = 0;
    virtual IShutdownApi& ShutdownApi() = 0;
};

// drives adds the lines of the drives to the log and says whether the
// machine is to be powered off afterwards. Errors of the log file and of the
// power-off pass through to the caller; a failed save ends the run before
// any power-off.
void PerformRun(IRunHost& host, const std::string& logPath, const std::function<bool(TRunLog&)>& drives);
