#pragma once
// The jobs of Windows 2000's `at` listing and which of them are ours. Text is
// code page 932, as at prints it on a Japanese system.
//
// What the listing's layout is known to be: a header line whose last column
// title is the command ("コマンド" on Japanese Windows 2000, "Command Line"
// on English), a line of dashes, then a line per job: an optional status
// word, the job's number, its days, its time and the command, the command
// starting in the column of its title. Not known (no Japanese Windows 2000
// here): whether a Japanese listing aligns the command under its title in
// bytes, and how the days and time read; so a line whose command column does
// not start after a blank is left alone.
#include <string>
#include <vector>

struct AtJob {
    std::string id;       // the number to give `at ID /delete`
    std::string command;  // as listed, from its column to the line's end
};

// The job lines of LISTING; none when it has no header (no jobs, or an
// error text).
std::vector<AtJob> ListedJobs(const std::string& listing);

// The program a command runs: its first word, the quotes around it removed.
std::string ProgramOf(const std::string& command);

// Does COMMAND run one of EXES (the same file under its names: the long path,
// the 8.3 path)? Quoted, its first word must be one; unquoted, the text up
// to a blank (as Windows tries them). Compared without case, a double-byte
// character as it is.
bool RunsProgram(const std::string& command, const std::vector<std::string>& exes);
