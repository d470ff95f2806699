#include "AtJobs.h"

#include "system/Text.h"

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

bool Digits(const std::string& word)
{
    if (word.empty()) return false;
    for (char c : word)
        if (c < '0' || c > '9') return false;
    return true;
}

// The byte offset of the last word of LINE, read by character; npos when it
// has none.
std::size_t LastWordStart(const std::string& line)
{
    std::size_t start = std::string::npos;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool blank = Blank(line[i]);
        if (!blank && !inWord) start = i;
        inWord = !blank;
        if (IsCp932LeadByte(static_cast<unsigned char>(line[i]))) ++i;
    }
    return start;
}

// Does a character of LINE start at byte AT (not the trail byte of one)?
bool StartsCharacter(const std::string& line, std::size_t at)
{
    std::size_t i = 0;
    while (i < at) i += IsCp932LeadByte(static_cast<unsigned char>(line[i])) ? 2 : 1;
    return i == at;
}

} // namespace

std::vector<AtJob> ListedJobs(const std::string& listing)
{
    std::vector<AtJob> jobs;
    const std::vector<std::string> lines = Lines(listing);
    // The header is the line before the first line of dashes.
    std::size_t dashes = 0;
    while (dashes < lines.size() && lines[dashes].compare(0, 10, "----------") != 0) ++dashes;
    if (dashes == 0 || dashes >= lines.size()) return jobs;
    // "コマンド ライン" / "Command Line": the title may be two words.
    const std::string& header = lines[dashes - 1];
    std::size_t column = LastWordStart(header);
    if (column == std::string::npos) return jobs;
    for (const char* tail : {"ライン", "Line"}) {
        const std::string word(tail);
        if (header.size() >= word.size() && header.compare(header.size() - word.size(), word.size(), word) == 0 &&
            column == header.size() - word.size())
            column = LastWordStart(header.substr(0, column > 0 ? column - 1 : 0));
    }
    if (column == std::string::npos || column == 0) return jobs;
    for (std::size_t n = dashes + 1; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.size() <= column || !Blank(line[column - 1]) || Blank(line[column]) ||
            !StartsCharacter(line, column))
            continue;
        // The job's number: the first word of digits before the command.
        std::string id, word;
        for (std::size_t i = 0; i <= column && id.empty(); ++i) {
            if (i == column || Blank(line[i])) {
                if (Digits(word)) id = word;
                word.clear();
            } else {
                word += line[i];
            }
        }
        if (!id.empty()) jobs.push_back(AtJob{id, line.substr(column)});
    }
    return jobs;
}

std::string ProgramOf(const std::string& command)
{
    std::size_t start = 0;
    while (start < command.size() && Blank(command[start])) ++start;
    if (start < command.size() && command[start] == '"') {
        const std::size_t end = command.find('"', start + 1);
        return command.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    }
    std::size_t end = start;
    while (end < command.size() && !Blank(command[end])) end += IsCp932LeadByte(static_cast<unsigned char>(command[end])) ? 2 : 1;
    return command.substr(start, end - start);
}

bool RunsProgram(const std::string& command, const std::vector<std::string>& exes)
{
    std::size_t start = 0;
    while (start < command.size() && Blank(command[start])) ++start;
    const bool quoted = start < command.size() && command[start] == '"';
    for (const std::string& exe : exes) {
        if (exe.empty()) continue;
        if (quoted) {
            if (SameIgnoringCase(ProgramOf(command), exe)) return true;
            continue;
        }
        // Unquoted, Windows tries the text up to each blank in turn
        // ("C:\Program", then "C:\Program Files\...\quendro.exe"): ours
        // when one of them is our exe.
        const std::size_t end = start + exe.size();
        if (end <= command.size() && (end == command.size() || Blank(command[end])) &&
            StartsCharacter(command, end) && SameIgnoringCase(command.substr(start, exe.size()), exe))
            return true;
    }
    return false;
}
