#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "FakeEvents.h"
#include "FakeFileSystem.h"
#include "FixedClock.h"
#include "FakeShutdown.h"
#include "run/DefragDrive.h"
#include "run/RunLog.h"
#include "ui/MainRun.h"

namespace {

using V = std::vector<std::string>;
const std::string kPath = "Z:\\q\\log.txt";
const std::string kGoOn = "エラーが発生しましたが続行します。";

struct Drive {
    std::string text;
    bool checked;
    bool succeeds;
};

// The window as the run sees it, and DefragDrive as a script: each call may
// change the controls, as a user could while the drive runs.
class FakeWindow : public IMainView, public IRunServices {
public:
    std::vector<Drive> drives;
    bool showError = false, onErrorStop = false, shutdown = false;
    bool execEnabled = true;
    std::vector<bool> execStates;
    std::vector<std::string> boxes;
    unsigned boxStyle = 0;
    bool boxCaptionGiven = true;
    std::string defragged;
    std::vector<bool> showErrorsSeen;
    std::function<void(char)> whileDefragmenting;
    FakeFileSystem files;
    FakeShutdown shutdownApi;
    FixedClock clock;
    FakeEvents events;

    int MessageBoxA(WindowHandle, const char* text, const char* caption, unsigned style) override {
        boxes.push_back(text);
        boxStyle = style;
        boxCaptionGiven = caption != nullptr;
        return 1;
    }
    int DriveCount() override { return static_cast<int>(drives.size()); }
    bool DriveChecked(int i) override { return drives.at(i).checked; }
    std::string DriveText(int i) override { return drives.at(i).text; }
    bool ShowErrorChecked() override { return showError; }
    bool OnErrorStopChecked() override { return onErrorStop; }
    bool ShutdownChecked() override { return shutdown; }
    void SetExecEnabled(bool enabled) override {
        execEnabled = enabled;
        execStates.push_back(enabled);
    }

    bool DefragDrive(char letter, bool showErrors, TRunLog& log) override {
        EXPECT_FALSE(execEnabled) << "btnExec must be disabled during the run";
        EXPECT_FALSE(CloseRequested);
        defragged += letter;
        showErrorsSeen.push_back(showErrors);
        if (whileDefragmenting) whileDefragmenting(letter);
        for (const Drive& d : drives)
            if (d.text[0] == letter) {
                AddLogLine(log, std::string{letter, ':'} + (d.succeeds ? "　ok" : "　failed"));
                return d.succeeds;
            }
        return false;
    }
    IFileSystem& Files() override { return files; }
    ILogClock& Clock() override { return clock; }
    IShutdownApi& ShutdownApi() override { return shutdownApi; }
    IRunEvents& Events() override { return events; }
    V RunLines() { return SavedRunLines(files, kPath); }
    bool PoweredOff() const { return !shutdownApi.calls.empty(); }
};

class MainRun : public ::testing::Test {
protected:
    void SetUp() override { CloseRequested = true; }  // left over from an earlier run
    void TearDown() override { CloseRequested = false; }
};

TEST_F(MainRun, NothingCheckedWarnsAndTouchesNothing) {
    for (bool empty : {true, false}) {
        FakeWindow w;
        if (!empty) w.drives = {{"C: (DATA)", false, true}, {"D: ()", false, true}};
        RunCheckedDrives(w, w, kPath);
        EXPECT_EQ(w.boxes, V{"デフラグをかけるドライブを選択してください。"});
        EXPECT_EQ(w.boxStyle, 0x30u);
        EXPECT_FALSE(w.boxCaptionGiven);
        EXPECT_EQ(w.files.FileCount(), 0u);
        EXPECT_TRUE(w.execStates.empty());
        EXPECT_EQ(w.defragged, "");
    }
}

TEST_F(MainRun, FailuresStopOrGoOnAndTheLastResultDecidesThePowerOff) {
    const struct {
        const char* name;
        std::vector<Drive> drives;
        bool onErrorStop;
        std::string defragged;
        V lines;
        bool poweredOff;
        RunEventType event;
    } cases[] = {
        {"one drive", {{"C: (A)", true, true}}, false, "C", {"C:　ok"}, true, RunEventType::kInformation},
        {"unchecked left out", {{"C: ()", false, true}, {"D: ()", true, true}}, false, "D", {"D:　ok"}, true,
         RunEventType::kInformation},
        {"stop at the first failure",
         {{"C: ()", true, false}, {"D: ()", true, true}}, true, "C", {"C:　failed"}, false, RunEventType::kWarning},
        {"failing middle drive",
         {{"C: ()", true, true}, {"D: ()", true, false}, {"E: ()", true, true}}, false, "CDE",
         {"C:　ok", "D:　failed", kGoOn, "E:　ok"}, true, RunEventType::kWarning},
        {"failing last drive",
         {{"C: ()", true, true}, {"D: ()", true, true}, {"E: ()", true, false}}, false, "CDE",
         {"C:　ok", "D:　ok", "E:　failed", kGoOn}, false, RunEventType::kWarning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow w;
        w.drives = c.drives;
        w.onErrorStop = c.onErrorStop;
        w.shutdown = true;
        RunCheckedDrives(w, w, kPath);
        EXPECT_EQ(w.defragged, c.defragged);
        EXPECT_EQ(w.RunLines(), c.lines);
        EXPECT_EQ(w.PoweredOff(), c.poweredOff);
        EXPECT_EQ(w.execStates, (std::vector<bool>{false, true}));
        EXPECT_TRUE(w.boxes.empty());
        ASSERT_EQ(w.events.reported.size(), 1u);
        EXPECT_EQ(w.events.reported[0].first, c.event);
    }
}

TEST_F(MainRun, OptionsAreReadAtTheMomentsTheyMatter) {
    FakeWindow w;
    w.drives = {{"C: ()", true, false}, {"D: ()", true, true}, {"E: ()", true, true}};
    // While C runs: show errors on for the next drive, stop on error on only
    // after C has failed, D unchecked before the loop reaches it, power-off
    // asked for while the last drive runs.
    w.whileDefragmenting = [&](char letter) {
        if (letter == 'C') {
            w.showError = true;
            w.drives[1].checked = false;
        }
        if (letter == 'E') w.shutdown = true;
    };
    RunCheckedDrives(w, w, kPath);
    EXPECT_EQ(w.defragged, "CE");
    EXPECT_EQ(w.showErrorsSeen, (std::vector<bool>{false, true}));
    EXPECT_EQ(w.RunLines(), (V{"C:　failed", kGoOn, "E:　ok"}));
    EXPECT_TRUE(w.PoweredOff());

    FakeWindow late;
    late.drives = {{"C: ()", true, false}, {"D: ()", true, true}};
    late.whileDefragmenting = [&](char) { late.onErrorStop = true; };
    RunCheckedDrives(late, late, kPath);
    EXPECT_EQ(late.defragged, "C") << "stop on error is read after the failure";
}

TEST_F(MainRun, ErrorsLeaveTheRunWithTheButtonEnabledAgain) {
    {
        SCOPED_TRACE("unreadable log");
        FakeWindow w;
        w.drives = {{"C: ()", true, true}};
        w.files.AddFile(kPath, "old\r\n");
        w.files.unreadable.insert(kPath);
        EXPECT_THROW(RunCheckedDrives(w, w, kPath), EFileOpenError);
        EXPECT_EQ(w.defragged, "");
        EXPECT_TRUE(w.execEnabled);
    }
    {
        SCOPED_TRACE("unwritable log: no power-off");
        FakeWindow w;
        w.drives = {{"C: ()", true, true}};
        w.shutdown = true;
        w.files.tempCreationFails = true;
        w.files.unwritable.insert(kPath);
        EXPECT_THROW(RunCheckedDrives(w, w, kPath), EFileCreateError);
        EXPECT_FALSE(w.PoweredOff());
        EXPECT_TRUE(w.execEnabled);
    }
    {
        SCOPED_TRACE("power-off refused, after the save");
        FakeWindow w;
        w.drives = {{"C: ()", true, true}};
        w.shutdown = true;
        w.shutdownApi.failAt = FakeShutdown::kAdjust;
        EXPECT_THROW(RunCheckedDrives(w, w, kPath), EExitError);
        EXPECT_EQ(w.RunLines(), V{"C:　ok"});
        EXPECT_TRUE(w.execEnabled);
    }
}

// A scheduled run that found the console busy saved while this run went on:
// this run's save keeps that block and appends its own after it.
TEST_F(MainRun, ABlockSavedDuringTheRunIsKept) {
    FakeWindow w;
    w.drives = {{"C: (DATA)", true, true}};
    w.files.AddFile(kPath, "earlier\r\n");
    w.whileDefragmenting = [&](char) { w.files.AddFile(kPath, "earlier\r\nscheduled run\r\n\r\r\n"); };
    RunCheckedDrives(w, w, kPath);
    const std::string saved = w.files.Content(kPath);
    const std::string before = "earlier\r\nscheduled run\r\n\r\n\r\n";
    EXPECT_EQ(saved.substr(0, before.size() + 33), before + kLogSeparator);
    EXPECT_NE(saved.find("C:　ok\r\n\r\r\n"), std::string::npos);
}

class FakeDrives : public IDriveInfo {
public:
    std::map<char, std::pair<unsigned, std::string>> drives;
    unsigned long LogicalDrives() override {
        unsigned long mask = 0;
        for (const auto& d : drives) mask |= 1ul << (d.first - 'A');
        return mask;
    }
    unsigned DriveType(const std::string& root) override {
        EXPECT_EQ(root.substr(1), ":\\");
        auto it = drives.find(root[0]);
        return it == drives.end() ? 1 : it->second.first;
    }
    std::string VolumeLabel(const std::string& root) override { return drives.at(root[0]).second; }
};

TEST(DriveList, FixedDrivesInLetterOrderWithTheirLabels) {
    FakeDrives d;
    d.drives = {{'Z', {3, ""}}, {'C', {3, "DATA"}}, {'A', {2, ""}}, {'F', {5, "CD"}},
                {'D', {3, "データ"}}, {'R', {6, ""}}, {'N', {4, ""}}};
    EXPECT_EQ(FixedDriveItems(d), (V{"C: (DATA)", "D: (データ)", "Z: ()"}));
    FakeDrives none;
    EXPECT_TRUE(FixedDriveItems(none).empty());
}

TEST(ErrorBox, FullStopAddedWhenTheLastByteSortsAfterTheDot) {
    EXPECT_EQ(ErrorBoxText("Could not adjust the Privilege.\r\nShutting down Windows is failed"),
              "Could not adjust the Privilege.\r\nShutting down Windows is failed.");
    EXPECT_EQ(ErrorBoxText("ファイル Z:\\a\\log.txt を作成できません"),
              "ファイル Z:\\a\\log.txt を作成できません.");
    EXPECT_EQ(ErrorBoxText("ends with a dot."), "ends with a dot.");
    EXPECT_EQ(ErrorBoxText("ends with a dash -"), "ends with a dash -");
    EXPECT_EQ(ErrorBoxText(""), "");

    struct Boxes : IMessageBoxes {
        std::string text, caption;
        unsigned style = 0;
        int MessageBoxA(WindowHandle owner, const char* t, const char* c, unsigned s) override {
            EXPECT_EQ(owner, 0u);
            text = t;
            caption = c ? c : "(none)";
            style = s;
            return 1;
        }
    } boxes;
    ShowErrorBox(boxes, "Quendro", "x");
    EXPECT_EQ(boxes.text, "x.");
    EXPECT_EQ(boxes.caption, "Quendro");
    EXPECT_EQ(boxes.style, 0x2010u);
}

}  // namespace
