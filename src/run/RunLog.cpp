#include "run/RunLog.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "system/FileSystem.h"
#include "system/Text.h"

const char* const kLogSeparator = "=================================";
// "Global\\" reaches across Terminal Services sessions (the scheduled run's
// and an administrator's); Windows 2000 without them ignores the prefix.
const char* const kLogLockName = "Global\\Quendro.log.txt";

namespace {

std::string ReplacePlaceholder(const char* pattern, const std::string& path) {
    std::string text = pattern;
    const std::string::size_type at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text;
}

// "qlg" and one to four hex digits, then ".tmp": the names GetTempFileNameA
// gives the save's temporary files.
bool IsSaveTempName(const std::string& name) {
    const std::string lower = LowerAscii(name);
    if (lower.size() < 8 || lower.size() > 11 || lower.compare(0, 3, "qlg") != 0 ||
        lower.compare(lower.size() - 4, 4, ".tmp") != 0)
        return false;
    return lower.find_first_not_of("0123456789abcdef", 3) == lower.size() - 4;
}

// Room for the lines a run appends, so that they do not make the string
// regrow and copy the whole history.
const std::size_t kAppendRoom = 64 * 1024;

bool FileExists(IFileSystem& files, const std::string& path) { return IsFileAttributes(files.Attributes(path)); }

// Creates the file if needed, writes the bytes from its start, cuts it to
// their length and flushes it to disk.
bool WriteWhole(IFileSystem& files, const std::string& path, const std::string& bytes,
                std::uint32_t share) {
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    ScopedSeamFile file(files.Open(path, fo::kWrite, share, fo::kOpenAlways), {&files});
    if (!file.IsValid()) return false;
    std::uint32_t done = 0;
    const auto size = static_cast<std::uint32_t>(bytes.size());
    while (done < size) {
        std::uint32_t wrote = 0;
        if (!files.Write(file.Get(), bytes.data() + done, size - done, wrote) || wrote == 0) return false;
        done += wrote;
    }
    return files.SetEnd(file.Get()) && files.Flush(file.Get());
}

// The names of the files (not folders) in the folder that match the pattern;
// false when the listing failed, not when nothing matched.
bool ListFiles(IFileSystem& files, const std::string& folder, const std::string& pattern,
               std::vector<std::string>& names) {
    names.clear();
    FoundFile found;
    ScopedSeamFind find(files.FindFirst(folder + pattern, found), {&files});
    if (!find.IsValid()) return files.LastError() == fo::kFileNotFound;
    do {
        if (IsFileAttributes(found.Attributes)) names.push_back(found.Name);
    } while (files.FindNext(find.Get(), found));
    return files.LastError() == fo::kNoMoreFiles;
}

// A save killed midway leaves its temporary file behind; nothing else would
// ever remove it.
void RemoveInterruptedSaves(IFileSystem& files, const std::string& folder) {
    std::vector<std::string> stale;
    if (ListFiles(files, folder, "qlg*.tmp", stale))
        for (const std::string& name : stale)
            if (IsSaveTempName(name)) files.Delete(folder + name);
}

// The first free name for a recovered copy: an earlier one may hold runs
// that log.txt has not, so it is never replaced. Empty when all are taken.
std::string FreeRecoveredName(IFileSystem& files, const std::string& folder) {
    std::string name = folder + "log-recovered.txt";
    for (int n = 2; files.Attributes(name) != fa::kNone; ++n) {
        if (n > 9999) return std::string();
        name = folder + "log-recovered-" + std::to_string(n) + ".txt";
    }
    return name;
}

// Holds the machine-wide save lock, when it can be had, for its lifetime.
class SaveLock {
public:
    explicit SaveLock(IFileSystem& files) : files_(files), mutex_(files.CreateNamedMutex(kLogLockName), {&files}) {
        if (!mutex_.IsValid()) return;
        // A holder that died mid-save hands it over as abandoned: ours then.
        // The wait is bounded: a run hung in its save, or another program
        // holding the name, must not keep an unattended run from saving.
        const std::uint32_t got = files.WaitFor(mutex_.Get(), kLogLockWaitMs);
        held_ = got == wr::kObject0 || got == wr::kAbandoned;
    }
    ~SaveLock() {
        if (held_) files_.ReleaseMutex(mutex_.Get());
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;
    bool Held() const { return held_; }

private:
    IFileSystem& files_;
    ScopedSeamFile mutex_;
    bool held_ = false;
};

}  // namespace

std::string FormatLogTime(const LocalDateTime& t, const std::string& dateSep,
                          const std::string& timeSep) {
    return DecimalText(t.year, 4) + dateSep + DecimalText(t.month, 2) + dateSep + DecimalText(t.day, 2) + " " +
           DecimalText(t.hour, 2) + timeSep + DecimalText(t.minute, 2) + timeSep + DecimalText(t.second, 2);
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

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the word scan below reads bytes low first");

using Word = std::size_t;

constexpr Word Bytes(unsigned char b) { return static_cast<Word>(~Word(0)) / 0xFF * b; }

// The high bit of each byte of x that is zero, exactly (no borrow between bytes).
Word ZeroBytes(Word x) { return ~(((x & Bytes(0x7F)) + Bytes(0x7F)) | x) & Bytes(0x80); }

// Whether text[from, to) of text[0, size) holds no NUL and no lone break, the
// pair across its end included: then a CR stands exactly before each LF.
// Compared a machine word at a time, as the Win32 build has no vector unit
// to spare and a history runs to tens of megabytes.
bool PlainChunk(const char* text, std::size_t size, std::size_t from, std::size_t to) {
    if (text[from] == '\0' || (from == 0 && text[0] == '\n') || (to == size && text[size - 1] == '\r'))
        return false;
    const std::size_t last = std::min(to, size - 1);  // the last LF position compared
    constexpr unsigned kHighShift = 8 * (sizeof(Word) - 1);
    Word carry = text[from] == '\r' ? Word(0x80) : 0, bad = 0;
    std::size_t p = from + 1;
    for (; p + sizeof(Word) <= last + 1; p += sizeof(Word)) {
        Word w;
        std::memcpy(&w, text + p, sizeof w);
        // Most words hold no byte below 0x0E (NUL, LF, CR) and follow no CR.
        if (((((w - Bytes(0x0E)) & ~w) & Bytes(0x80)) | carry) == 0) continue;
        const Word cr = ZeroBytes(w ^ Bytes('\r')), lf = ZeroBytes(w ^ Bytes('\n'));
        bad |= (((cr << 8) | carry) ^ lf) | ZeroBytes(w);
        carry = cr >> kHighShift;
    }
    for (; p <= last; ++p)
        bad |= static_cast<Word>((text[p - 1] == '\r') != (text[p] == '\n') || text[p] == '\0');
    return bad == 0;
}

}  // namespace

void TRunLog::AddText(std::string bytes) {
    const std::size_t size = bytes.size();
    std::size_t end = size;  // up to the first NUL
    // Only chunks that hold a NUL or a lone CR or LF are searched byte by
    // byte; in the usual file only the newest block ends in CR CR LF.
    constexpr std::size_t kChunk = 4096;
    std::vector<std::size_t> lone;
    {
        const char* const text = bytes.data();
        for (std::size_t from = 0; from < end; from += kChunk) {
            const std::size_t to = std::min(from + kChunk, size);
            if (PlainChunk(text, size, from, to)) continue;
            const void* nul = std::memchr(text + from, '\0', to - from);
            if (nul) end = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
            // The check also covered the pair across the chunk's end.
            const std::size_t first = lone.empty() ? from : std::max(from, lone.back() + 1);
            for (std::size_t i = first; i < std::min(to + 1, end); ++i)
                if (LoneBreak(text, end, i)) lone.push_back(i);
        }
    }
    const bool lastLineOpen = end > 0 && bytes[end - 1] != '\r' && bytes[end - 1] != '\n';
    if (!image_.empty()) {
        // Lines after others: copy, turning each lone break into CR LF.
        std::size_t run = 0;
        for (std::size_t i : lone) {
            image_.append(bytes, run, i - run);
            image_ += "\r\n";
            run = i + 1;
        }
        image_.append(bytes, run, end - run);
        if (lastLineOpen) image_ += "\r\n";
        return;
    }
    // The file's own bytes become the image: each lone break grows by one
    // byte, so the text after it moves back, from the end, within the
    // string's room (the reader leaves some for this run's lines).
    const std::size_t grown = end + lone.size();
    bytes.resize(grown + (lastLineOpen ? 2 : 0));
    char* const text = &bytes[0];
    std::size_t src = end, dst = grown;
    for (std::size_t k = lone.size(); k-- > 0;) {
        const std::size_t at = lone[k], tail = src - (at + 1);
        dst -= tail;
        std::memmove(text + dst, text + at + 1, tail);
        text[--dst] = '\n';
        text[--dst] = '\r';
        src = at;
    }
    if (lastLineOpen) {
        text[grown] = '\r';
        text[grown + 1] = '\n';
    }
    image_ = std::move(bytes);
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

bool ReadWholeFile(IFileSystem& files, const std::string& path, std::string& bytes) {
    ScopedSeamFile file(files.Open(path, fo::kRead, fo::kShareAll, fo::kOpenExisting), {&files});
    if (!file.IsValid()) return false;
    std::uint64_t size = 0;
    // A log of 2 GiB or more cannot be held in this 32-bit process.
    if (!files.Size(file.Get(), size) || size > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
        return false;
    const auto length = static_cast<std::uint32_t>(size);
    bytes.clear();
    bytes.reserve(length + kAppendRoom);
    bytes.resize(length);
    std::uint32_t done = 0;
    while (done < length) {
        std::uint32_t got = 0;
        if (!files.Read(file.Get(), &bytes[done], length - done, got)) return false;
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    bytes.resize(done);
    return true;
}

void LoadRunLog(TRunLog& log, IFileSystem& files, const std::string& path) {
    if (!FileExists(files, path)) return;
    std::string bytes;
    if (!ReadWholeFile(files, path, bytes))
        throw EFileOpenError(ReplacePlaceholder("ファイル %s は開けません", path));
    ParseLogText(std::move(bytes), log);
}

void SaveRunLog(const TRunLog& log, IFileSystem& files, const std::string& path) {
    const std::string& image = log.Image();
    const std::string folder = FolderOf(path);

    // The new image goes to a temporary file first, so a crash midway leaves
    // the old log.txt whole. While it is written, no other run can delete it.
    std::string temp;
    const bool haveTemp = files.TempFileName(folder, "qlg", temp);
    const bool tempWhole = haveTemp && WriteWhole(files, temp, image, fo::kShareRead);
    if (tempWhole && files.MoveReplace(temp, path)) return;

    // The replace is refused while another program holds log.txt open; an
    // in-place rewrite may still be allowed. Keep the old bytes to put back.
    const bool existed = FileExists(files, path);
    std::string old;
    const bool canRestore = !existed || ReadWholeFile(files, path, old);
    bool keepTemp = false;
    if (canRestore) {
        if (WriteWhole(files, path, image, fo::kShareAll)) {
            if (haveTemp) files.Delete(temp);
            return;
        }
        std::string now;
        bool intact = existed ? ReadWholeFile(files, path, now) && now == old : !FileExists(files, path);
        if (!intact) intact = existed ? WriteWhole(files, path, old, fo::kShareAll) : files.Delete(path);
        // If the old file could not be put back, the temporary file holds the
        // only whole copy of the history: leave it.
        keepTemp = !intact && tempWhole;
    }
    if (haveTemp && !keepTemp) files.Delete(temp);
    // Out of the temporary name pattern, so that the next run's clean-up of
    // interrupted saves does not take it.
    if (keepTemp) {
        const std::string recovered = FreeRecoveredName(files, folder);
        if (!recovered.empty()) files.MoveReplace(temp, recovered);
    }
    throw EFileCreateError(ReplacePlaceholder("ファイル %s を作成できません", path));
}

void SaveRunBlock(const std::string& block, ILogClock& clock, IFileSystem& files, const std::string& path) {
    const SaveLock lock(files);
    // Every save writes its temporary file under the lock, so one found
    // under it belongs to no live save.
    if (lock.Held()) RemoveInterruptedSaves(files, FolderOf(path));
    // Other runs may have saved since this one loaded the file.
    TRunLog now(clock);
    try {
        LoadRunLog(now, files, path);
    } catch (const EFileOpenError&) {
        throw EFileCreateError(ReplacePlaceholder("ファイル %s を作成できません", path));
    }
    now.AddImage(block);
    SaveRunLog(now, files, path);
}
