#include <gtest/gtest.h>

#include "FakeEvents.h"
#include "FakeFileSystem.h"
#include "FixedClock.h"
#include "FakeShutdown.h"
#include "app/CommandLine.h"
#include "run/RunLog.h"

namespace {

using V = std::vector<std::string>;
const std::string kPath = "Z:\\q\\log.txt";

class FakeHost : public ICommandLineHost, IDriveInfo {
public:
    std::string listed = "ACDEF";           // the drives the system lists
    std::string fixed = "CDE";              // fixed drives
    std::string failing;                    // fixed drives whose DefragDrive fails
    std::string defragged;                  // letters handed to DefragDrive, in order
    FakeFileSystem files;
    FakeShutdown shutdown;
    FixedClock clock;
    FakeEvents events;

    // Code page 932 aware, like CharUpperBuffA: trail bytes stay as they are.
    std::string UpperCase(const std::string& text) override {
        std::string out = text;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(out[i]);
            if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
                ++i;
                continue;
            }
            if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
        }
        return out;
    }
    IDriveInfo& Drives() override { return *this; }
    unsigned long LogicalDrives() override {
        unsigned long mask = 0;
        for (char d : listed) mask |= 1ul << (d - 'A');
        return mask;
    }
    std::string VolumeLabel(const std::string&) override { return ""; }
    unsigned DriveType(const std::string& root) override {
        EXPECT_EQ(root.size(), 3u);
        EXPECT_EQ(root.substr(1), ":\\");
        return fixed.find(root[0]) != std::string::npos ? 3 : 5;
    }
    bool DefragDrive(char letter, TRunLog& log) override {
        defragged += letter;
        const std::string spec{letter, ':'};
        if (failing.find(letter) != std::string::npos) return false;
        AddLogLine(log, spec + "　デフラグを完了しました。");
        return true;
    }
    IFileSystem& Files() override { return files; }
    ILogClock& Clock() override { return clock; }
    IShutdownApi& ShutdownApi() override { return shutdown; }
    IRunEvents& Events() override { return events; }

    V RunLines() { return SavedRunLines(files, kPath); }
};

const std::string kGoOn = "エラーが発生しましたが続行します。";
const std::string kStop = "エラーが発生したため処理を中止しました。";
std::string Done(char d) { return std::string{d, ':'} + "　デフラグを完了しました。"; }
std::string Failed(const std::string& s) { return s + "　正しく実行できませんでした。"; }
std::string NoDrive(const std::string& s) { return s + "　ドライブが存在しないかデフラグできません。"; }
std::string Invalid(const std::string& s) { return "引数が不正です。（" + s + "）"; }

TEST(CommandLine, ArgumentsAreReadAsTheGrammarSays) {
    const struct {
        V args;
        std::string failing;
        std::string defragged;
        V lines;
        bool powerOff;
        std::string listed = "ACDEF", fixed = "CDE";
    } cases[] = {
        {{"C:"}, "", "C", {Done('C')}, false},
        {{"c:", "d:"}, "", "CD", {Done('C'), Done('D')}, false},
        {{"C:", "C:"}, "", "CC", {Done('C'), Done('C')}, false},
        {{"C:", "F:", "G:", "/E"}, "", "C", {Done('C'), NoDrive("F:"), kGoOn, NoDrive("G:"), kGoOn}, false},
        {{"C:\\", "/e"}, "", "", {Invalid("C:\\"), kGoOn}, false},
        {{"/E", "C", "1:", "-S", "/SX", "/x", "ab:"}, "", "",
         {Invalid("C"), kGoOn, Invalid("1:"), kGoOn, Invalid("-S"), kGoOn, Invalid("/SX"), kGoOn,
          Invalid("/X"), kGoOn, Invalid("AB:"), kGoOn},
         false},
        {{"（c）ヂαｂ", "/E"}, "", "", {Invalid("（C）ヂαｂ"), kGoOn}, false},
        // Without /E the first failure ends the run; later arguments are not looked at.
        {{"F:", "C:", "zz"}, "", "", {NoDrive("F:"), kStop}, false},
        {{"C:", "D:", "E:"}, "D", "CD", {Done('C'), Failed("D:"), kStop}, false},
        {{"C:", "D:", "E:", "/E"}, "D", "CDE", {Done('C'), Failed("D:"), kGoOn, Done('E')}, false},
        // Switches act wherever they stand, also after the drives.
        {{"C:", "/s"}, "", "C", {Done('C')}, true},
        {{"G:", "C:", "/S"}, "", "", {NoDrive("G:"), kStop}, true},
        {{"/S", "/E"}, "", "", {}, true},
        {{"/E"}, "", "", {}, false},
        {{""}, "", "", {Invalid(""), kStop}, false},
        // "/A": the fixed drives among those the system lists, in letter
        // order, each as if written where "/A" stands.
        {{"/A"}, "", "", {NoDrive("/A"), kStop}, false, "ADF", ""},
        {{"/A", "/E", "C:"}, "", "", {NoDrive("/A"), kGoOn, NoDrive("C:"), kGoOn}, false, "", ""},
        {{"/A"}, "", "C", {Done('C')}, false, "ACF", "C"},
        // Q answers as fixed but is not listed: left out.
        {{"/A"}, "", "CEHZ", {Done('C'), Done('E'), Done('H'), Done('Z')}, false, "ACDEHZ", "CEHQZ"},
        {{"/A", "/a"}, "", "CECE", {Done('C'), Done('E'), Done('C'), Done('E')}, false, "ACDE", "CE"},
        {{"E:", "/A", "c:"}, "", "ECEC", {Done('E'), Done('C'), Done('E'), Done('C')}, false, "ACDE", "CE"},
        {{"/A", "F:"}, "D", "CD", {Done('C'), Failed("D:"), kStop}, false},
        {{"/A", "/E"}, "D", "CDE", {Done('C'), Failed("D:"), kGoOn, Done('E')}, false},
        {{"G:", "/A"}, "", "", {NoDrive("G:"), kStop}, false},
        {{"/S", "/A"}, "C", "C", {Failed("C:"), kStop}, true},
        {{"/AX", "A/", "/A:", "/E"}, "", "", {Invalid("/AX"), kGoOn, Invalid("A/"), kGoOn, Invalid("/A:"), kGoOn}, false},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& a : c.args) trace += a + " ";
        SCOPED_TRACE(trace);
        FakeHost host;
        host.listed = c.listed;
        host.fixed = c.fixed;
        host.failing = c.failing;
        RunCommandLine(host, c.args, kPath);
        EXPECT_EQ(host.defragged, c.defragged);
        EXPECT_EQ(host.RunLines(), c.lines);
        EXPECT_EQ(!host.shutdown.calls.empty(), c.powerOff);
    }
}

// One event per run, after the save; an error event before the error leaves.
TEST(CommandLine, EachRunEndsWithOneEvent) {
    using T = RunEventType;
    const struct {
        const char* name;
        V args;
        std::string failing;
        int fault;  // 0 none, 1 unreadable log, 2 unwritable log, 3 power-off refused
        T type;
    } cases[] = {
        {"all succeeded", {"C:", "D:"}, "", 0, T::kInformation},
        {"switches only", {"/E"}, "", 0, T::kInformation},
        {"a drive failed", {"C:", "D:", "/E"}, "D", 0, T::kWarning},
        {"an argument failed", {"C:", "X"}, "", 0, T::kWarning},
        {"unreadable log", {"C:"}, "", 1, T::kError},
        {"unwritable log", {"C:"}, "", 2, T::kError},
        {"power-off refused", {"C:", "/S"}, "", 3, T::kError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.failing = c.failing;
        host.files.AddFile(kPath, "earlier run\r\n");
        if (c.fault == 1) host.files.unreadable.insert(kPath);
        if (c.fault == 2) {
            host.files.unreplaceable.insert(kPath);
            host.files.unwritable.insert(kPath);
        }
        if (c.fault == 3) host.shutdown.failAt = FakeShutdown::kExit;
        bool threw = false;
        try {
            RunCommandLine(host, c.args, kPath);
        } catch (const Exception&) {
            threw = true;
        }
        EXPECT_EQ(threw, c.fault != 0);
        ASSERT_EQ(host.events.reported.size(), 1u);
        EXPECT_EQ(host.events.reported[0].first, c.type);
        const std::string& text = host.events.reported[0].second;
        if (c.fault == 1) {
            EXPECT_NE(text.find(kPath), std::string::npos) << text;
        } else {
            // The run's block as appended: header to the end-of-run line.
            EXPECT_EQ(text.substr(0, 35), std::string(kLogSeparator) + "\r\n");
            EXPECT_EQ(text.substr(text.size() - 3), "\r\r\n");
            if (c.fault != 2) {
                EXPECT_EQ(host.files.Content(kPath), "earlier run\r\n" + text);
            }
        }
    }
}

TEST(CommandLine, RunIsAppendedToTheExistingLog) {
    FakeHost host;
    host.files.AddFile(kPath, "earlier run\r\n");
    RunCommandLine(host, {"C:"}, kPath);
    EXPECT_EQ(host.files.Content(kPath).substr(0, 13), "earlier run\r\n");
    EXPECT_EQ(host.files.Content(kPath).substr(host.files.Content(kPath).size() - 3), "\r\r\n");
}

// A window run saved while this one went on: both blocks stay, in the order
// of the saves.
TEST(CommandLine, PowerOffComesAfterTheSave) {
    FakeHost host;
    bool savedFirst = false;
    host.shutdown.onExitWindows = [&] {
        savedFirst = host.files.Has(kPath) &&
                     host.files.Content(kPath).find(Done('C')) != std::string::npos;
    };
    RunCommandLine(host, {"/S", "C:"}, kPath);
    EXPECT_TRUE(savedFirst);
}

TEST(CommandLine, LogAndPowerOffErrorsLeaveTheRun) {
    {
        SCOPED_TRACE("unreadable log");
        FakeHost host;
        host.files.AddFile(kPath, "old\r\n");
        host.files.unreadable.insert(kPath);
        EXPECT_THROW(RunCommandLine(host, {"C:", "/S"}, kPath), EFileOpenError);
        EXPECT_EQ(host.defragged, "");
        EXPECT_TRUE(host.shutdown.calls.empty());
    }
    {
        SCOPED_TRACE("unwritable log");
        FakeHost host;
        host.files.AddFile(kPath, "old\r\n");
        host.files.unreplaceable.insert(kPath);
        host.files.unwritable.insert(kPath);
        EXPECT_THROW(RunCommandLine(host, {"C:", "/S"}, kPath), EFileCreateError);
        EXPECT_EQ(host.defragged, "C");
        EXPECT_EQ(host.files.Content(kPath), "old\r\n");
        EXPECT_TRUE(host.shutdown.calls.empty());
    }
    {
        SCOPED_TRACE("power-off refused");
        FakeHost host;
        host.shutdown.failAt = FakeShutdown::kExit;
        EXPECT_THROW(RunCommandLine(host, {"C:", "/S"}, kPath), EExitError);
        EXPECT_EQ(host.RunLines(), V{Done('C')});
    }
}

}  // namespace
