#pragma once
// The command-line run: drives and switches from the arguments ("/A" for
// every fixed drive), one run log for the whole run, power-off afterwards
// when asked.
#include <string>
#include <vector>

#include "run/Run.h"
#include "system/DriveTypes.h"

class TRunLog;

class ICommandLineHost : public IRunHost {
public:
    // The system's upper-casing (CharUpperBuffA): double-byte characters stay whole.
    virtual std::string UpperCase(const std::string& text) = 0;
    virtual IDriveInfo& Drives() = 0;
    // DefragDrive with show errors and process messages off.
    virtual bool DefragDrive(char letter, TRunLog& log) = 0;
};

// Errors of the log file and of the power-off pass through to the caller.
void RunCommandLine(ICommandLineHost& host, const std::vector<std::string>& args,
                    const std::string& logPath);
