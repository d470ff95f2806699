#include "run/RunLog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "system/Files.h"

const char* const kLogSeparator = "=================================";

namespace {

std::string ReplacePlaceholder(const char* pattern, const std::string& path) {
    std::string text = pattern;
    const std::string::size_type at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text;
}

std::string Pad(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

std::string FolderOf(const std::string& path) {
    const std::string::size_type at = path.find_last_of("\\/:");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

}  // namespace

std::string FormatLogTime(const LocalDateTime& t, const std::string& dateSep,
                          const std::string& timeSep) {
    return Pad(t.year, 4) + dateSep + Pad(t.month, 2) + dateSep + Pad(t.day, 2) + " " +
           Pad(t.hour, 2) + timeSep + Pad(t.minute, 2) + timeSep + Pad(t.second, 2);
}

void AddLogLine(TRunLog& log, const std::string& text) {
    ILogClock& clock = log.Clock();
    log.Add("[" + FormatLogTime(clock.Now(), clock.DateSeparator(), clock.TimeSeparator()) +
            "] " + text);
}

void AppendRunHeader(TRunLog& log) {
    log.Add(kLogSeparator);
    AddLogLine(log, "実行開始");
    log.Add(kLogSeparator);
}

void AppendEndOfRun(TRunLog& log) { log.Add("\r"); }

namespace {

// A CR not followed by LF, or an LF not preceded by CR, at text[i] of text[0, end).
bool LoneBreak(const char* text, std::size_t end, std::size_t i) {
    if (text[i] == '\r') return i + 1 == end || text[i + 1] != '\n';
    if (text[i] == '\n') return i == 0 || text[i - 1] != '\r';
    return false;
}

// Whether a lone break lies in [from, to] of text[0, end). In text without
// one, a CR stands exactly before each LF: the loop compares the two and has
// no branches, so the compiler vectorises it.
bool HasLoneBreak(const char* text, std::size_t end, std::size_t from, std::size_t to) {
    if (from == 0 && text[0] == '\n') return true;
    if (to == end && text[end - 1] == '\r') return true;
    const std::size_t last = std::min(to, end - 1);
    unsigned bad = 0;
    for (std::size_t i = from; i < last; ++i)
        bad |= static_cast<unsigned>(text[i] == '\r') ^ static_cast<unsigned>(text[i + 1] == '\n');
    return bad != 0;
}

}  // namespace

void TRunLog::AddText(std::string bytes) {
    const char* const text = bytes.data();
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    // Text is copied only up to each lone CR or LF, which becomes CR LF; a
    // file that holds none (the usual case: only the newest block ends in
    // CR CR LF) is taken over as it is.
    constexpr std::size_t kChunk = 4096;
    std::size_t run = 0;
    for (std::size_t from = 0; from < end; from += kChunk) {
        const std::size_t to = std::min(from + kChunk, end);
        if (!HasLoneBreak(text, end, from, to)) continue;
        // The check also covered the pair across the chunk's end.
        for (std::size_t i = std::max(from, run); i < std::min(to + 1, end); ++i) {
            if (!LoneBreak(text, end, i)) continue;
            image_.append(text + run, text + i);
            image_ += "\r\n";
            run = i + 1;
        }
    }
    const bool lastLineOpen = run < end && !(end - run >= 2 && text[end - 2] == '\r' && text[end - 1] == '\n');
    if (run == 0 && image_.empty()) {
        bytes.resize(end);
        image_ = std::move(bytes);
    } else {
        image_.append(text + run, text + end);
    }
    if (lastLineOpen) image_ += "\r\n";  // a last line without a break
}

std::vector<std::string> TRunLog::Lines() const {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type stop = image_.find("\r\n", start);
        if (stop == std::string::npos) break;
        lines.push_back(image_.substr(start, stop - start));
        start = stop + 2;
    }
    return lines;
}

void ParseLogText(std::string bytes, TRunLog& log) { log.AddText(std::move(bytes)); }

std::string LogFileImage(const TRunLog& log) { return log.Image(); }

std::string LogPathFor(const std::string& exePath) { return FolderOf(exePath) + "log.txt"; }

void LoadRunLog(TRunLog& log, ILogFiles& files, const std::string& path) {
    if (!files.FileExists(path)) return;
    std::string bytes;
    if (!files.ReadWhole(path, bytes))
        throw EFileOpenError(ReplacePlaceholder("ファイル %s は開けません", path));
    ParseLogText(std::move(bytes), log);
}

void SaveRunLog(const TRunLog& log, ILogFiles& files, const std::string& path) {
    const std::string& image = log.Image();

    // The new image goes to a temporary file first, so a crash midway leaves
    // the old log.txt whole.
    std::string temp;
    const bool haveTemp = files.CreateTempFile(FolderOf(path), temp);
    const bool tempWhole = haveTemp && files.WriteWhole(temp, image);
    if (tempWhole && files.Replace(temp, path)) return;

    // The replace is refused while another program holds log.txt open; an
    // in-place rewrite may still be allowed. Keep the old bytes to put back.
    const bool existed = files.FileExists(path);
    std::string old;
    const bool canRestore = !existed || files.ReadWhole(path, old);
    bool keepTemp = false;
    if (canRestore) {
        if (files.WriteWhole(path, image)) {
            if (haveTemp) files.Remove(temp);
            return;
        }
        std::string now;
        bool intact = existed ? files.ReadWhole(path, now) && now == old : !files.FileExists(path);
        if (!intact) intact = existed ? files.WriteWhole(path, old) : files.Remove(path);
        // If the old file could not be put back, the temporary file holds the
        // only whole copy of the history: leave it.
        keepTemp = !intact && tempWhole;
    }
    if (haveTemp && !keepTemp) files.Remove(temp);
    throw EFileCreateError(ReplacePlaceholder("ファイル %s を作成できません", path));
}
