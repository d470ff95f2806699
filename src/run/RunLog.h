#pragma once
// The run log: the lines of log.txt held in memory for one run, and the rules
// by which it is loaded, extended and saved. Lines are code page 932 bytes.
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
// Saves without ever losing the old file; EFileCreateError when it cannot be written.
void SaveRunLog(const TRunLog& log, IFileSystem& files, const std::string& path);
// Reads the whole file; other programs may keep it open for reading and writing.
bool ReadWholeFile(IFileSystem& files, const std::string& path, std::string& bytes);
