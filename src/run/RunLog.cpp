#include "run/RunLog.h"

#include <cstdio>

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

void ParseLogText(const std::string& bytes, TRunLog& log) {
    const std::string::size_type end = bytes.find('\0');
    const std::string text = bytes.substr(0, end);
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type stop = text.find_first_of("\r\n", start);
        if (stop == std::string::npos) {
            log.Add(text.substr(start));
            break;
        }
        log.Add(text.substr(start, stop - start));
        if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ++stop;
        start = stop + 1;
    }
}

std::string LogFileImage(const TRunLog& log) {
    std::string::size_type size = 0;
    for (const std::string& line : log.Lines()) size += line.size() + 2;
    std::string image;
    image.reserve(size);
    for (const std::string& line : log.Lines()) {
        image += line;
        image += "\r\n";
    }
    return image;
}

std::string LogPathFor(const std::string& exePath) { return FolderOf(exePath) + "log.txt"; }

void LoadRunLog(TRunLog& log, ILogFiles& files, const std::string& path) {
    if (!files.FileExists(path)) return;
    std::string bytes;
    if (!files.ReadWhole(path, bytes))
        throw EFileOpenError(ReplacePlaceholder("ファイル %s は開けません", path));
    ParseLogText(bytes, log);
}

void SaveRunLog(const TRunLog& log, ILogFiles& files, const std::string& path) {
    const std::string image = LogFileImage(log);

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
