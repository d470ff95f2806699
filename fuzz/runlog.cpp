// The run log loader on any bytes: the lines are those of a plain splitter,
// and what the save writes loads back as the same lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FakeFileSystem.h"
#include "FuzzCheck.h"
#include "run/RunLog.h"

namespace {

const std::string kPath = "Z:\\q\\log.txt";

class StillClock : public ILogClock {
public:
    LocalDateTime Now() override { return {2001, 10, 28, 3, 0, 0}; }
    std::string DateSeparator() override { return "/"; }
    std::string TimeSeparator() override { return ":"; }
};

// Byte by byte, without the loader's shortcuts.
std::vector<std::string> ReferenceLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            line += c;
            open = true;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string image;
    for (const std::string& line : lines) image += line + "\r\n";
    return image;
}

// With `whole` off only the loading is checked: the rest does not depend on
// where the loader's steps fall.
void CheckText(const std::string& bytes, bool whole) {
    StillClock clock;
    const std::vector<std::string> lines = ReferenceLines(bytes);
    const std::string image = Joined(lines);

    FakeFileSystem files;
    files.AddFile(kPath, bytes);
    TRunLog log(clock);
    LoadRunLog(log, files, kPath);
    FUZZ_CHECK(log.Lines() == lines);
    FUZZ_CHECK(log.Image() == image);
    if (!whole) return;

    // A run appended to the loaded history, saved and loaded again.
    TRunLog run(clock);
    AppendRunHeader(run);
    AddLogLine(run, bytes.substr(0, 16));
    AppendEndOfRun(run);
    AppendRunHeader(log);
    AddLogLine(log, bytes.substr(0, 16));
    AppendEndOfRun(log);
    SaveRunLog(log, files, kPath);
    FUZZ_CHECK(files.FileCount() == 1);
    FUZZ_CHECK(files.Content(kPath) == image + run.Image());

    TRunLog again(clock);
    LoadRunLog(again, files, kPath);
    std::vector<std::string> expected = lines;
    for (const std::string& line : ReferenceLines(run.Image())) expected.push_back(line);
    FUZZ_CHECK(again.Lines() == expected);

    // Text added after lines already held is appended, not taken over.
    TRunLog added(clock);
    added.Add("p");
    ParseLogText(bytes, added);
    FUZZ_CHECK(added.Image() == "p\r\n" + image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckText(bytes, true);
    // The loader works in 4096-byte steps: the same bytes again, starting
    // just before the first step's end.
    if (size > 0) CheckText(std::string(4088 + data[0] % 8, 'x') + bytes, false);
    return 0;
}
