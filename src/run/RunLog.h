#pragma once
// The run log: the lines of log.txt held in memory for one run, and the rules
// by which it is loaded, extended and saved. Lines are code page 932 bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "system/Clock.h"
#include "system/Exception.h"

class IFileSystem;

QUENDRO_DECLARE_ERROR(EFileOpenError);
QUENDRO_DECLARE_ERROR(EFileCreateError);

// The lines are kept as the file image itself, each followed by CR LF, so
// that a run on a long history costs little more than copying the file.
class TRunLog {
public:
    explicit TRunLog(ILogClock& clock) : clock_(clock) {}
    TRunLog(const TRunLog&) = delete;
    TRunLog& operator=(const TRunLog&) = delete;

    void Add(const std::string& line) {
        image_ += line;
        image_ += "\r\n";
    }
    // Appends the lines of file bytes (see ParseLogText).
    void AddText(std::string bytes);
    // Appends lines already in file form, each followed by CR LF, unchanged.
    void AddImage(const std::string& image) { image_ += image; }
    std::vector<std::string> Lines() const;
    const std::string& Image() const { return image_; }
    ILogClock& Clock() const { return clock_; }

private:
    ILogClock& clock_;
    std::string image_;
};

extern const char* const kLogSeparator;

// "yyyy/mm/dd hh:nn:ss" with the given separators in place of "/" and ":".
std::string FormatLogTime(const LocalDateTime& t, const std::string& dateSep,
                          const std::string& timeSep);

// Appends "[" + date and time now + "] " + text.
void AddLogLine(TRunLog& log, const std::string& text);
void AppendRunHeader(TRunLog& log);
void AppendEndOfRun(TRunLog& log);

// Splits file bytes into lines: CR LF, lone CR and lone LF end a line, a NUL
// ends the text, a final line without a break still counts.
void ParseLogText(std::string bytes, TRunLog& log);
// Every line followed by CR LF; no byte-order mark.
std::string LogFileImage(const TRunLog& log);

// The executable's folder with its trailing separator, then "log.txt".
std::string LogPathFor(const std::string& exePath);

// Loads the file into the log when it exists; EFileOpenError when it cannot be read.
void LoadRunLog(TRunLog& log, IFileSystem& files, const std::string& path);
// Saves without ever losing the old file; EFileCreateError when it cannot be
// written. A copy that could be saved nowhere else is kept under a new
// "log-recovered*.txt" name.
void SaveRunLog(const TRunLog& log, IFileSystem& files, const std::string& path);

// The machine-wide lock that puts the saves of all runs one after another,
// whatever session or account they run in, and how long a save waits for it.
extern const char* const kLogLockName;
constexpr std::uint32_t kLogLockWaitMs = 120000;

// Appends one run's block (lines in file form) to log.txt as it is now:
// under the lock, reads the file again by the loading rules, appends the
// block and saves, and removes the temporary files of interrupted saves.
// Without the lock (not to be had, or not within the wait) it saves all
// the same but leaves every temporary file. EFileCreateError when log.txt
// cannot be read or written then.
void SaveRunBlock(const std::string& block, ILogClock& clock, IFileSystem& files, const std::string& path);
// Reads the whole file; other programs may keep it open for reading and writing.
bool ReadWholeFile(IFileSystem& files, const std::string& path, std::string& bytes);
