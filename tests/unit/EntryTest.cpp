#include <gtest/gtest.h>

#include "app/Entry.h"
#include "run/RunLog.h"
#include "system/ExitWin32.h"

namespace {

struct Box {
    std::string text;
    bool captionGiven;
    std::string caption;
    unsigned style;
};

class FakeEntry : public IEntryHost {
public:
    int version = 2000;
    std::vector<Box> boxes;
    int commandLineRuns = 0, windowRuns = 0;
    void (*raise)() = nullptr;

    int MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned style) override {
        EXPECT_EQ(owner, 0u);
        boxes.push_back({text, caption != nullptr, caption ? caption : "", style});
        return 1;
    }
    int CheckWindowsVersion() override { return version; }
    void RunCommandLine(const std::vector<std::string>&) override {
        ++commandLineRuns;
        if (raise) raise();
    }
    int RunWindowMode() override {
        ++windowRuns;
        return 0;
    }
};

TEST(Entry, OnlyWindowsNt50CountsAsWindows2000) {
    EXPECT_EQ(WindowsVersionCode(2, 5, 0), 2000);
    EXPECT_EQ(WindowsVersionCode(2, 5, 1), 0);
    EXPECT_EQ(WindowsVersionCode(2, 4, 0), 0);
    EXPECT_EQ(WindowsVersionCode(2, 6, 0), 0);
    EXPECT_EQ(WindowsVersionCode(1, 4, 90), 0);
    EXPECT_EQ(WindowsVersionCode(1, 5, 0), 0);
}

TEST(Entry, OtherSystemsGetOnlyTheRefusalInEitherMode) {
    for (bool withArgs : {false, true}) {
        FakeEntry host;
        host.version = 0;
        EXPECT_EQ(QuendroMain(host, withArgs ? std::vector<std::string>{"C:"} : std::vector<std::string>{}), 0);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0].text, "Windows 2000 以外には対応しておりません。");
        EXPECT_FALSE(host.boxes[0].captionGiven);
        EXPECT_EQ(host.boxes[0].style, 0x30u);
        EXPECT_EQ(host.commandLineRuns + host.windowRuns, 0);
    }
}

TEST(Entry, ArgumentsChooseTheCommandLineAndNoneTheWindow) {
    FakeEntry host;
    EXPECT_EQ(QuendroMain(host, {"/E"}), 0);
    EXPECT_EQ(QuendroMain(host, {}), 0);
    EXPECT_EQ(host.commandLineRuns, 1);
    EXPECT_EQ(host.windowRuns, 1);
    EXPECT_TRUE(host.boxes.empty());
}

TEST(Entry, UncaughtErrorsEndInATaskModalStopBoxAndExitCodeOne) {
    const struct {
        void (*raise)();
        const char* text;
    } cases[] = {
        {[] { throw EExitError("Could not adjust the Privilege.\r\nShutting down Windows is failed"); },
         "EExitError: Could not adjust the Privilege.\r\nShutting down Windows is failed"},
        {[] { throw EFileOpenError("ファイル Z:\\a\\log.txt は開けません"); },
         "EFileOpenError: ファイル Z:\\a\\log.txt は開けません"},
        {[] { throw EFileCreateError("ファイル Z:\\a\\log.txt を作成できません"); },
         "EFileCreateError: ファイル Z:\\a\\log.txt を作成できません"},
    };
    for (const auto& c : cases) {
        FakeEntry host;
        host.raise = c.raise;
        EXPECT_EQ(QuendroMain(host, {"C:"}), 1);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0].text, c.text);
        EXPECT_EQ(host.boxes[0].caption, "アプリケーション エラー");
        EXPECT_EQ(host.boxes[0].style, 0x2010u);
    }
}

}  // namespace
