// The command-line grammar on any argument lists. Input: four bytes of fixed
// drives and four of failing drives (bit 0 is A:; the system lists both), then
// the arguments, each ended by a NUL (an argument can hold none).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FakeFileSystem.h"
#include "FakeShutdown.h"
#include "FuzzCheck.h"
#include "app/CommandLine.h"
#include "run/RunLog.h"

namespace {

const std::string kPath = "Z:\\q\\log.txt";

class StillClock : public ILogClock {
public:
    LocalDateTime Now() override { return {2001, 10, 28, 3, 0, 0}; }
    std::string DateSeparator() override { return "/"; }
    std::string TimeSeparator() override { return ":"; }
};

bool InMask(std::uint32_t mask, char letter) {
    return letter >= 'A' && letter <= 'Z' && (mask >> (letter - 'A') & 1u) != 0;
}

// Code page 932 aware, like CharUpperBuffA: trail bytes stay as they are.
std::string UpperCase(const std::string& text) {
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        }
    }
    return out;
}

std::string Done(char letter) { return std::string{letter, ':'} + "　デフラグを完了しました。"; }

class EventLog : public IRunEvents {
public:
    std::vector<std::string> texts;
    void Report(RunEventType, const std::string& text) override { texts.push_back(text); }
};

class Host : public ICommandLineHost, IDriveInfo {
public:
    std::uint32_t fixed = 0, failing = 0;
    std::string defragged;
    FakeFileSystem files;
    FakeShutdown shutdown;
    StillClock clock;
    EventLog events;

    std::string UpperCase(const std::string& text) override { return ::UpperCase(text); }
    IDriveInfo& Drives() override { return *this; }
    unsigned long LogicalDrives() override { return (fixed | failing) & 0x3FFFFFFu; }
    std::string VolumeLabel(const std::string&) override { return ""; }
    unsigned DriveType(const std::string& root) override {
        FUZZ_CHECK(root.size() == 3 && root[0] >= 'A' && root[0] <= 'Z' && root.substr(1) == ":\\");
        return InMask(fixed, root[0]) ? 3 : 1;
    }
    bool DefragDrive(char letter, TRunLog& log) override {
        defragged += letter;
        if (InMask(failing, letter)) return false;
        AddLogLine(log, Done(letter));
        return true;
    }
    IFileSystem& Files() override { return files; }
    ILogClock& Clock() override { return clock; }
    IShutdownApi& ShutdownApi() override { return shutdown; }
    IRunEvents& Events() override { return events; }
};

std::uint32_t Mask(const std::uint8_t* data, std::size_t size, std::size_t at) {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < 4 && at + i < size; ++i) mask |= static_cast<std::uint32_t>(data[at + i]) << (8 * i);
    return mask;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Host host;
    host.fixed = Mask(data, size, 0);
    host.failing = Mask(data, size, 4);
    std::vector<std::string> args;
    std::string arg;
    for (std::size_t i = 8; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(arg);
            arg.clear();
        } else {
            arg += static_cast<char>(data[i]);
        }
    }

    RunCommandLine(host, args, kPath);

    // What the run must have done: each argument's outcome in turn, the
    // first failure ending the run unless /E stands anywhere.
    bool goOn = false, powerOff = false;
    for (const std::string& a : args) {
        goOn = goOn || UpperCase(a) == "/E";
        powerOff = powerOff || UpperCase(a) == "/S";
    }
    TRunLog expected(host.clock);
    AppendRunHeader(expected);
    std::string defragged;
    bool stop = false;
    auto fail = [&](const std::string& line) {
        AddLogLine(expected, line);
        AddLogLine(expected, goOn ? "エラーが発生しましたが続行します。" : "エラーが発生したため処理を中止しました。");
        stop = !goOn;
    };
    auto drive = [&](char letter) {
        const std::string spec{letter, ':'};
        if (!InMask(host.fixed, letter)) {
            fail(spec + "　ドライブが存在しないかデフラグできません。");
        } else {
            defragged += letter;
            if (!InMask(host.failing, letter))
                AddLogLine(expected, Done(letter));
            else
                fail(spec + "　正しく実行できませんでした。");
        }
    };
    for (const std::string& a : args) {
        const std::string s = UpperCase(a);
        if (s == "/E" || s == "/S") continue;
        if (s.size() == 2 && s[0] >= 'A' && s[0] <= 'Z' && s[1] == ':') {
            drive(s[0]);
        } else if (s == "/A") {
            bool any = false;
            for (char letter = 'A'; letter <= 'Z' && !stop; ++letter) {
                if (!InMask(host.fixed, letter)) continue;
                any = true;
                drive(letter);
            }
            if (!any) fail("/A　ドライブが存在しないかデフラグできません。");
        } else {
            fail("引数が不正です。（" + s + "）");
        }
        if (stop) break;
    }
    AppendEndOfRun(expected);

    FUZZ_CHECK(host.defragged == defragged);
    FUZZ_CHECK(host.files.FileCount() == 1);
    FUZZ_CHECK(host.files.Content(kPath) == expected.Image());
    FUZZ_CHECK(host.shutdown.calls.empty() != powerOff);
    // One event per run, holding the run's block: here the whole new file.
    FUZZ_CHECK(host.events.texts.size() == 1 && host.events.texts[0] == expected.Image());
    return 0;
}
