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

bool DefragDrive(IConsoleWindows& windows, char driveLetter, bool showErrors, TRunLog& log,
                 bool processMessages);
