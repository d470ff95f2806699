#include <gtest/gtest.h>

#include "FakeConsole.h"
#include "run/DefragDrive.h"

namespace {

const std::string kStarted = "C:　デフラグを開始しました。";
const std::string kCompleted = "C:　デフラグを完了しました。";

// The lines without their "[yyyy/mm/dd hh:nn:ss] " stamps.
std::vector<std::string> Texts(const TRunLog& log) {
    std::vector<std::string> out;
    for (const std::string& line : log.Lines()) out.push_back(line.substr(22));
    return out;
}

struct Outcome {
    bool result;
    std::vector<std::string> lines;
};

class DefragDriveTest : public ::testing::Test {
protected:
    void SetUp() override { CloseRequested = false; }
    void TearDown() override { CloseRequested = false; }

    Outcome Run(FakeConsole& fake, bool showErrors = false, bool processMessages = false) {
        TRunLog log(fake);
        fake.watchedLog = &log;
        const bool result = DefragDrive(fake, 'C', log, DefragOptions{showErrors, processMessages});
        fake.watchedLog = nullptr;
        return {result, Texts(log)};
    }
};

TEST_F(DefragDriveTest, NormalRunPressesDefragmentWaitsClosesAndCompletes) {
    ConsoleScript script;
    script.appearAfterMs = 2000;  // found at the second try
    script.defragMs = 3500;       // ready at the fourth poll
    FakeConsole fake(script);
    const Outcome out = Run(fake);

    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.lines, (std::vector<std::string>{kStarted, kCompleted}));
    ASSERT_EQ(fake.shellCalls.size(), 1u);
    EXPECT_EQ(fake.shellCalls[0], "Open|dfrg.msc|C:|(null)|5");
    EXPECT_EQ(fake.sleeps, (std::vector<unsigned>{1500, 1500, 1000, 1000, 1000, 1000, 1500}));

    ASSERT_GE(fake.posted.size(), 3u);
    const WindowHandle button = fake.DefragButton();
    EXPECT_EQ(fake.foregroundAt, fake.ConsoleWindow());
    EXPECT_EQ(fake.postsBeforeForeground, 0u);
    const Posted expected[] = {{button, 0x0007, 1, 0}, {button, 0x0100, 0x20, 0}, {button, 0x0101, 0x20, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fake.posted[i].window, expected[i].window);
        EXPECT_EQ(fake.posted[i].message, expected[i].message);
        EXPECT_EQ(fake.posted[i].wParam, expected[i].wParam);
        EXPECT_EQ(fake.posted[i].lParam, expected[i].lParam);
    }
    // The completion box got one Escape pair, then the console one close request.
    ASSERT_EQ(fake.posted.size(), 5u);
    EXPECT_EQ(fake.posted[3].message, 0x0100u);
    EXPECT_EQ(fake.posted[3].wParam, 0x1Bu);
    EXPECT_EQ(fake.posted[4].message, 0x0101u);
    EXPECT_EQ(fake.posted[4].wParam, 0x1Bu);
    EXPECT_EQ(fake.closeMessages, 1);
    EXPECT_FALSE(fake.ConsoleOpen());
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(DefragDriveTest, ConsoleAlreadyOpenIsNotStartedAgain) {
    FakeConsole fake;
    fake.OpenConsoleNow();
    const Outcome out = Run(fake);
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.lines, (std::vector<std::string>{"C:　ほかのデフラグが実行中のため実行できませんでした。"}));
    EXPECT_TRUE(fake.shellCalls.empty());
    EXPECT_TRUE(fake.sleeps.empty());
}

TEST_F(DefragDriveTest, ConsoleThatNeverOpensFailsAfterElevenTries) {
    ConsoleScript script;
    script.appearAfterMs = -1;
    FakeConsole fake(script);
    const Outcome out = Run(fake);
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.lines, (std::vector<std::string>{"C:　デフラグが実行できませんでした。"}));
    EXPECT_EQ(fake.sleeps, std::vector<unsigned>(11, 1500));
}

TEST_F(DefragDriveTest, ConsoleFoundAtTheEleventhTryStillRuns) {
    ConsoleScript script;
    script.appearAfterMs = 16500;
    FakeConsole fake(script);
    const Outcome out = Run(fake);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(std::vector<unsigned>(fake.sleeps.begin(), fake.sleeps.begin() + 11),
              std::vector<unsigned>(11, 1500));
    EXPECT_EQ(fake.sleeps[11], 1000u);
}

TEST_F(DefragDriveTest, MissingInnerWindowFailsSilentlyAndLeavesConsoleOpen) {
    for (int step = 2; step <= 6; ++step) {
        SCOPED_TRACE(step);
        ConsoleScript script;
        script.missingStep = step;
        FakeConsole fake(script);
        const Outcome out = Run(fake, /*showErrors=*/true);
        EXPECT_FALSE(out.result);
        EXPECT_TRUE(out.lines.empty());
        EXPECT_TRUE(fake.boxes.empty());
        EXPECT_TRUE(fake.posted.empty());
        EXPECT_EQ(fake.closeMessages, 0);
        EXPECT_TRUE(fake.ConsoleOpen());
    }
}

TEST_F(DefragDriveTest, MissingButtonCannotBeControlled) {
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which);
        ConsoleScript script;
        (which == 0 ? script.missingDefragButton : script.missingReportButton) = true;
        FakeConsole fake(script);
        const Outcome out = Run(fake);
        EXPECT_FALSE(out.result);
        EXPECT_EQ(out.lines, (std::vector<std::string>{"C:　デフラグを正しく制御できませんでした。"}));
        EXPECT_TRUE(fake.posted.empty());
        EXPECT_TRUE(fake.ConsoleOpen());
    }
}

// A console whose main window is found before its children exist is looked
// into again at each remaining start-up try; one that stays incomplete ends
// as a console without those windows, after all eleven.
TEST_F(DefragDriveTest, ConsoleStillBuildingItsWindowsIsWaitedForWithinTheStartTries) {
    struct Case {
        const char* name;
        long long appearMs, treeMs;
        bool noReportButton;
        bool result;
        std::vector<std::string> lines;
        std::size_t startSleeps;  // 1500 ms sleeps before the first poll or the end
    };
    const std::vector<std::string> done{kStarted, kCompleted}, none;
    const Case cases[] = {
        {"tree 4 s late", 2000, 4000, false, true, done, 4},
        {"tree at the last try", 1500, 15000, false, true, done, 11},
        {"tree after the last try", 1500, 15001, false, false, none, 11},
        {"tree never", 2000, -1, false, false, none, 11},
        {"found at the last try, no tree", 16500, -1, false, false, none, 11},
        {"late tree without a button", 2000, 4000, true, false, {"C:　デフラグを正しく制御できませんでした。"}, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleScript script;
        script.appearAfterMs = c.appearMs;
        script.treeAfterMs = c.treeMs;
        script.missingReportButton = c.noReportButton;
        FakeConsole fake(script);
        const Outcome out = Run(fake, /*showErrors=*/false);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.lines, c.lines);
        std::size_t startSleeps = 0;
        while (startSleeps < fake.sleeps.size() && fake.sleeps[startSleeps] == 1500) ++startSleeps;
        EXPECT_EQ(startSleeps, c.startSleeps);
        EXPECT_EQ(fake.shellCalls.size(), 1u);
        EXPECT_EQ(fake.ConsoleOpen(), !c.result);
    }
}

TEST_F(DefragDriveTest, ReportAlreadyEnabledCompletesAtOnceWithoutKeysOrClosing) {
    ConsoleScript script;
    script.alreadyDone = true;
    FakeConsole fake(script);
    const Outcome out = Run(fake);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.lines, (std::vector<std::string>{kCompleted}));
    EXPECT_TRUE(fake.posted.empty());
    EXPECT_EQ(fake.closeMessages, 0);
    EXPECT_EQ(fake.sleeps, (std::vector<unsigned>{1500, 1500}));
    EXPECT_TRUE(fake.ConsoleOpen());

    // The console left open makes the next drive fail as already running.
    const Outcome next = Run(fake);
    EXPECT_FALSE(next.result);
    EXPECT_EQ(next.lines, (std::vector<std::string>{"C:　ほかのデフラグが実行中のため実行できませんでした。"}));
}

TEST_F(DefragDriveTest, ConsoleClosedByHandIsNotTakenForCompletion) {
    // A destroyed button reads as style 0, which looks enabled: the check for
    // a destroyed button must come first.
    ConsoleScript script;
    script.closedByHandAfterMs = 2500;
    script.defragMs = 60000;
    FakeConsole fake(script);
    const Outcome out = Run(fake);
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.lines,
              (std::vector<std::string>{kStarted, "C:　デフラグが終わる前に手動で閉じられたようです。"}));
    EXPECT_EQ(fake.sleeps.size(), 2u + 3u);
    EXPECT_EQ(fake.closeMessages, 0);
}

TEST_F(DefragDriveTest, CloseRequestedDuringPollingFailsTheDriveAndLeavesConsoleRunning) {
    ConsoleScript script;
    script.defragMs = 60000;
    FakeConsole fake(script);
    fake.onProcessMessages = [](int call) {
        if (call == 3) CloseRequested = true;
    };
    const Outcome out = Run(fake, false, /*processMessages=*/true);
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.lines, (std::vector<std::string>{kStarted, "C:　本ソフトが閉じられました。"}));
    EXPECT_EQ(fake.processMessagesCalls, 3);
    EXPECT_EQ(fake.closeMessages, 0);
    EXPECT_TRUE(fake.ConsoleOpen());
}

TEST_F(DefragDriveTest, WithoutProcessMessagesCloseRequestedIsIgnored) {
    CloseRequested = true;
    ConsoleScript script;
    script.defragMs = 120000;  // many polls, all without looking at the flag
    FakeConsole fake(script);
    const Outcome out = Run(fake);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.lines, (std::vector<std::string>{kStarted, kCompleted}));
    EXPECT_EQ(fake.processMessagesCalls, 0);
    EXPECT_EQ(std::count(fake.sleeps.begin(), fake.sleeps.end(), 1000u), 120);
}

TEST_F(DefragDriveTest, CompletionBoxThatComesBackGetsEscapeAtEachPoll) {
    ConsoleScript script;
    script.dialogShows = 3;
    FakeConsole fake(script);
    const Outcome out = Run(fake);
    EXPECT_TRUE(out.result);
    int escapes = 0;
    for (const Posted& p : fake.posted)
        if (p.message == 0x0100 && p.wParam == 0x1B) ++escapes;
    EXPECT_EQ(escapes, 3);
}

TEST_F(DefragDriveTest, ConsoleThatIgnoresCloseIsAwaitedElevenTimesThenCompleted) {
    ConsoleScript script;
    script.ignoresClose = true;
    FakeConsole fake(script);
    const Outcome out = Run(fake);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.lines.back(), kCompleted);
    EXPECT_EQ(fake.closeMessages, 1);
    EXPECT_EQ(std::vector<unsigned>(fake.sleeps.end() - 11, fake.sleeps.end()),
              std::vector<unsigned>(11, 1500));
    EXPECT_TRUE(fake.ConsoleOpen());
}

TEST_F(DefragDriveTest, ShownErrorsComeAsWarningBoxesBeforeTheirLine) {
    struct Case {
        const char* name;
        ConsoleScript script;
        bool openBefore;
        bool processMessages;
    };
    ConsoleScript never;
    never.appearAfterMs = -1;
    ConsoleScript noButton;
    noButton.missingReportButton = true;
    ConsoleScript byHand;
    byHand.closedByHandAfterMs = 1500;
    byHand.defragMs = 60000;
    const Case cases[] = {{"already running", {}, true, false},
                          {"never opens", never, false, false},
                          {"no button", noButton, false, false},
                          {"closed by hand", byHand, false, false},
                          {"program closed", ConsoleScript{}, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool show : {true, false}) {
            CloseRequested = false;
            FakeConsole fake(c.script);
            if (c.openBefore) fake.OpenConsoleNow();
            fake.onProcessMessages = [](int) { CloseRequested = true; };
            TRunLog log(fake);
            fake.watchedLog = &log;
            EXPECT_FALSE(DefragDrive(fake, 'C', log, DefragOptions{show, c.processMessages}));
            if (!show) {
                EXPECT_TRUE(fake.boxes.empty());
                continue;
            }
            ASSERT_EQ(fake.boxes.size(), 1u);
            const ShownBox& box = fake.boxes[0];
            EXPECT_EQ(box.owner, 0u);
            EXPECT_FALSE(box.captionGiven);
            EXPECT_EQ(box.style, 0x30u);
            EXPECT_EQ(box.text, log.Lines().back().substr(22));
            // The line is written after the box is dismissed, with that time.
            EXPECT_EQ(box.logLinesBefore, log.Lines().size() - 1);
            const long long dismissedS = (box.atMs + fake.boxDismissAfterMs) / 1000;
            char stamp[16];
            std::snprintf(stamp, sizeof stamp, "%02lld:%02lld]", (3 * 3600 + dismissedS) / 60 % 60,
                          dismissedS % 60);
            EXPECT_EQ(log.Lines().back().substr(15, 6), stamp);
        }
    }
}

}  // namespace
