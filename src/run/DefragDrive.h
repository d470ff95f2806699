#pragma once
// Defragments one drive by remote-controlling the Disk Defragmenter console.
class IConsoleWindows;
class TRunLog;

// Set by the main window when the user closes it through its close command;
// read by DefragDrive only when it processes messages.
extern bool CloseRequested;

namespace defrag {
constexpr unsigned kStartTries = 11;
constexpr unsigned kStartSleepMs = 1500;
constexpr unsigned kPollSleepMs = 1000;
constexpr unsigned kCloseTries = 11;
constexpr unsigned kCloseSleepMs = 1500;
}  // namespace defrag

// How a drive is run in each mode.
struct DefragOptions {
    bool showErrors;       // a warning box besides each failure's log line
    bool processMessages;  // the caller's windows stay responsive while it waits
};
constexpr DefragOptions kCommandLineDefrag{false, false};
constexpr DefragOptions WindowDefrag(bool showErrors) { return {showErrors, true}; }

bool DefragDrive(IConsoleWindows& windows, char driveLetter, TRunLog& log, const DefragOptions& options);
