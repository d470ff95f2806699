// The log and the console captions are code page 932 bytes. These pins catch
// a change of compiler flags that would silently alter them.
#include <gtest/gtest.h>

#include "FakeConsole.h"
#include "FakeFileSystem.h"
#include "run/DefragDrive.h"
#include "run/RunLog.h"

namespace {

std::string Hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02x ", c);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

TEST(Charset, RunHeaderIsShiftJis) {
    FakeConsole clock;
    TRunLog log(clock);
    AppendRunHeader(log);
    // 実行開始
    EXPECT_EQ(Hex(log.Lines()[1].substr(22)), "8e c0 8d 73 8a 4a 8e 6e");
}

TEST(Charset, DriveLinesBeginWithTheIdeographicSpace) {
    ConsoleScript script;
    script.alreadyDone = true;
    FakeConsole fake(script);
    TRunLog log(fake);
    ASSERT_TRUE(DefragDrive(fake, 'D', log, kCommandLineDefrag));
    // D: + ideographic space + デフラグを完了しました。
    EXPECT_EQ(Hex(log.Lines()[0].substr(22)),
              "44 3a 81 40 83 66 83 74 83 89 83 4f 82 f0 8a ae 97 b9 82 b5 82 dc 82 b5 82 bd 81 42");
}

TEST(Charset, FileErrorTextIsShiftJis) {
    FakeConsole clock;
    FakeFileSystem files;
    files.unwritable.insert("a");
    files.tempCreationFails = true;
    TRunLog log(clock);
    try {
        SaveRunLog(log, files, "a");
        FAIL() << "no error";
    } catch (const EFileCreateError& e) {
        // ファイル a を作成できません: it ends in 0x82 0xF1, after "." in byte order.
        EXPECT_EQ(Hex(e.Message()),
                  "83 74 83 40 83 43 83 8b 20 61 20 82 f0 8d ec 90 ac 82 c5 82 ab 82 dc 82 b9 82 f1");
    }
}

}  // namespace
