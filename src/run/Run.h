#pragma once
// One run, as both modes make it: log.txt loaded, the run header, the drives,
// the end-of-run line, the save, the power-off when it is due, and one event
// in the system's event log for those who watch many machines.
#include <functional>
#include <string>

class ILogClock;
class IFileSystem;
class IShutdownApi;
class TRunLog;

// The kinds of event a run ends with.
enum class RunEventType {
    kInformation,  // every drive succeeded
    kWarning,      // some argument, drive or console failed
    kError,        // log.txt could not be read or saved, or the power-off failed
};

// The event source's name and the message of each kind (ids of the message
// table in quendro.exe, severity bits included), and the event type the
// event log gives it.
extern const char* const kRunEventSource;
struct RunEventRecord {
    unsigned short type;  // EVENTLOG_INFORMATION_TYPE, _WARNING_TYPE, _ERROR_TYPE
    unsigned long id;
};
RunEventRecord RunEventRecordFor(RunEventType type);

// Writes the events. Whether that worked never changes the run.
class IRunEvents {
public:
    virtual ~IRunEvents() = default;
    virtual void Report(RunEventType type, const std::string& text) = 0;
};

// What a run needs besides the drives.
class IRunHost {
public:
    virtual ~IRunHost() = default;
    virtual IFileSystem& Files() = 0;
    virtual ILogClock& Clock() = 0;
    virtual IShutdownApi& ShutdownApi() = 0;
    virtual IRunEvents& Events() = 0;
};

struct RunOutcome {
    bool allSucceeded;
    bool powerOff;  // the machine is to be powered off afterwards
};

// drives adds the lines of the drives to the log. Errors of the log file and
// of the power-off pass through to the caller after the event (an error
// event, whose text is the error's message when log.txt could not be read);
// a failed save ends the run before any power-off. Otherwise the event's text
// is the run's block exactly as appended to log.txt.
void PerformRun(IRunHost& host, const std::string& logPath, const std::function<RunOutcome(TRunLog&)>& drives);
