#include <gtest/gtest.h>

#include <algorithm>

#include "FakeFileSystem.h"
#include "FixedClock.h"
#include "run/RunLog.h"

namespace {

const std::string kPath = "Z:\\quendro\\log.txt";

std::vector<std::string> Parse(const std::string& bytes) {
    FixedClock clock;
    TRunLog log(clock);
    ParseLogText(bytes, log);
    return log.Lines();
}

TEST(RunLogTime, FieldsAreZeroPaddedAndHoursRunFrom00To23) {
    const struct {
        LocalDateTime t;
        const char* text;
    } cases[] = {{{2001, 1, 5, 3, 5, 4}, "2001/01/05 03:05:04"},
                 {{2001, 12, 31, 23, 59, 59}, "2001/12/31 23:59:59"},
                 {{2002, 1, 1, 0, 0, 0}, "2002/01/01 00:00:00"},
                 {{999, 2, 3, 12, 0, 9}, "0999/02/03 12:00:09"}};
    for (const auto& c : cases) EXPECT_EQ(FormatLogTime(c.t, "/", ":"), c.text);
}

TEST(RunLogTime, LineCarriesTheLocaleSeparators) {
    FixedClock clock;
    clock.date = "-";
    clock.time = ".";
    TRunLog log(clock);
    AddLogLine(log, "x");
    EXPECT_EQ(log.Lines().at(0), "[2001-10-28 03.00.00] x");
}

TEST(RunLogText, LinesEndAtCrLfLoneCrAndLoneLf) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Parse(""), V{});
    EXPECT_EQ(Parse("a\r\nb\r\n"), (V{"a", "b"}));
    EXPECT_EQ(Parse("a\rb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(Parse("\r\n\r\n"), (V{"", ""}));
    EXPECT_EQ(Parse("a\n\rb"), (V{"a", "", "b"}));
    EXPECT_EQ(Parse("last without break"), V{"last without break"});
    EXPECT_EQ(Parse(std::string("ab\r\ncd\0ef\r\ngh", 14)), (V{"ab", "cd"}));
    EXPECT_EQ(Parse(std::string("\0abc", 4)), V{});
    // The end-of-run line of an earlier run reads back as two empty lines.
    EXPECT_EQ(Parse("x\r\n\r\r\n"), (V{"x", "", ""}));
}

// A plain splitter to hold the fast loader to.
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

TEST(RunLogText, LongTextsSplitAsLineByLineWhereverTheBreaksFall) {
    // Lone breaks and NULs on and around the loader's word and 4096-byte
    // steps, and a CR LF pair split across them; loaded alone (the bytes
    // become the image) and after a line (they are copied).
    std::string base;
    while (base.size() < 3 * 4096 + 100) base += "[2001/10/28 03:00:00] C:　デフラグを完了しました。\r\n";
    const std::string inserts[] = {"\r", "\n", "\r\n", "\n\r", "x", std::string(1, '\0')};
    for (std::size_t at : {0u, 1u, 2u, 3u, 5u, 7u, 8u, 9u, 4094u, 4095u, 4096u, 4097u, 4100u, 8191u, 8192u, 12287u}) {
        for (const std::string& insert : inserts) {
            SCOPED_TRACE(std::to_string(at) + " " + std::to_string(static_cast<int>(insert[0])));
            std::string text = base;
            text.insert(at, insert);
            EXPECT_EQ(Parse(text), ReferenceLines(text));
            FixedClock clock;
            TRunLog log(clock);
            log.Add("before");
            ParseLogText(text, log);
            std::vector<std::string> expected = ReferenceLines(text);
            expected.insert(expected.begin(), "before");
            EXPECT_EQ(log.Lines(), expected);
            text.resize(at + 1);
            EXPECT_EQ(Parse(text), ReferenceLines(text));
        }
    }
}

TEST(RunLogFile, FirstRunHoldsHeaderLinesAndEndsInCrCrLf) {
    FixedClock clock;
    FakeFileSystem files;
    TRunLog log(clock);
    LoadRunLog(log, files, kPath);
    AppendRunHeader(log);
    AddLogLine(log, "C:　デフラグを完了しました。");
    AppendEndOfRun(log);
    SaveRunLog(log, files, kPath);

    const std::string sep = "=================================";
    EXPECT_EQ(files.Content(kPath), sep + "\r\n[2001/10/28 03:00:00] 実行開始\r\n" + sep +
                                         "\r\n[2001/10/28 03:00:00] C:　デフラグを完了しました。\r\n\r\r\n");
    EXPECT_EQ(files.FileCount(), 1u) << "no temporary file may be left";
}

TEST(RunLogFile, SecondRunTurnsTheFirstEndIntoTwoEmptyLines) {
    FixedClock clock;
    FakeFileSystem files;
    for (int run = 0; run < 2; ++run) {
        TRunLog log(clock);
        LoadRunLog(log, files, kPath);
        AppendRunHeader(log);
        AddLogLine(log, run == 0 ? "one" : "two");
        AppendEndOfRun(log);
        SaveRunLog(log, files, kPath);
        clock.t.minute += 1;
    }
    const std::string sep = "=================================\r\n";
    EXPECT_EQ(files.Content(kPath),
              sep + "[2001/10/28 03:00:00] 実行開始\r\n" + sep + "[2001/10/28 03:00:00] one\r\n\r\n\r\n" +
                  sep + "[2001/10/28 03:01:00] 実行開始\r\n" + sep + "[2001/10/28 03:01:00] two\r\n\r\r\n");
}

TEST(RunLogFile, LoadKeepsAFinalLineAndDropsEverythingFromANul) {
    FixedClock clock;
    FakeFileSystem files;
    files.AddFile(kPath, std::string("old\r\nlast\0junk\r\nmore", 20));
    TRunLog log(clock);
    LoadRunLog(log, files, kPath);
    SaveRunLog(log, files, kPath);
    EXPECT_EQ(files.Content(kPath), "old\r\nlast\r\n");
}

TEST(RunLogFile, UnreadableFileIsAnOpenErrorNamingThePath) {
    FixedClock clock;
    FakeFileSystem files;
    files.AddFile(kPath, "old\r\n");
    files.unreadable.insert(kPath);
    TRunLog log(clock);
    try {
        LoadRunLog(log, files, kPath);
        FAIL() << "no error";
    } catch (const EFileOpenError& e) {
        EXPECT_STREQ(e.ClassName(), "EFileOpenError");
        EXPECT_EQ(e.Message(), "ファイル " + kPath + " は開けません");
    }
    EXPECT_TRUE(log.Lines().empty());
}

TEST(RunLogFile, LogPathIsBesideTheExecutable) {
    const struct {
        const char* exe;
        const char* log;
    } cases[] = {
        {"C:\\Program Files\\Quendro\\quendro.exe", "C:\\Program Files\\Quendro\\log.txt"},
        {"Z:\\tmp\\ソフト\\quendro.exe", "Z:\\tmp\\ソフト\\log.txt"},
        {"C:\\d\\ソ.exe", "C:\\d\\log.txt"},  // ソ is 83 5C: its trail byte is no separator
        {"C:/d/quendro.exe", "C:/d/log.txt"},         // the file calls take either slash
    };
    for (const auto& c : cases) EXPECT_EQ(LogPathFor(c.exe), c.log) << c.exe;
}

// The save never loses the old file, whatever refuses it.
TEST(RunLogSave, FailuresLeaveTheOldFileOrSaveInPlace) {
    const std::string old = "=================================\r\n[2000/01/01 00:00:00] old\r\n\r\n\r\n";
    struct Case {
        const char* name;
        void (*arrange)(FakeFileSystem&);
        bool saved;
        bool inPlace;
    };
    const Case cases[] = {
        {"plain replace", [](FakeFileSystem&) {}, true, false},
        {"replace refused, rewrite allowed", [](FakeFileSystem& f) { f.unreplaceable.insert(kPath); }, true, true},
        {"no temporary file possible", [](FakeFileSystem& f) { f.tempCreationFails = true; }, true, true},
        {"locked against everything",
         [](FakeFileSystem& f) { f.unreplaceable.insert(kPath); f.unwritable.insert(kPath); }, false, false},
        {"held without sharing", [](FakeFileSystem& f) { f.unreadable.insert(kPath); }, false, false},
        {"disk full midway", [](FakeFileSystem& f) { f.writeBudget = 70; }, false, false},
        {"disk full midway while locked",
         [](FakeFileSystem& f) { f.unreplaceable.insert(kPath); f.tempCreationFails = true; f.writeBudget = 90; },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FixedClock clock;
        FakeFileSystem files;
        files.AddFile(kPath, old);
        TRunLog log(clock);
        LoadRunLog(log, files, kPath);
        AppendRunHeader(log);
        AddLogLine(log, "new line");
        AppendEndOfRun(log);
        c.arrange(files);
        const std::string image = LogFileImage(log);
        bool threw = false;
        try {
            SaveRunLog(log, files, kPath);
        } catch (const EFileCreateError& e) {
            threw = true;
            EXPECT_EQ(e.Message(), "ファイル " + kPath + " を作成できません");
        }
        EXPECT_EQ(threw, !c.saved);
        EXPECT_EQ(files.Content(kPath), c.saved ? image : old);
        if (c.saved) {
            EXPECT_EQ(files.inPlaceWrites > 0, c.inPlace);
        }
        EXPECT_EQ(files.FileCount(), 1u) << "temporary files must be removed";
    }
}

// When log.txt is torn and cannot be put back, the new image is kept under a
// name that the next run's clean-up leaves alone.
TEST(RunLogSave, TheOnlyWholeCopyIsKeptOutOfTheCleanUp) {
    FixedClock clock;
    FakeFileSystem files;
    files.AddFile(kPath, "old\r\n");
    TRunLog log(clock);
    LoadRunLog(log, files, kPath);
    AddLogLine(log, "new line");
    files.unreplaceable.insert(kPath);
    files.tearing.insert(kPath);
    EXPECT_THROW(SaveRunLog(log, files, kPath), EFileCreateError);
    const std::string kept = "Z:\\quendro\\log-recovered.txt";
    ASSERT_EQ(files.Has(kept), 1u);
    EXPECT_EQ(files.Content(kept), LogFileImage(log));
    files.tearing.clear();
    files.unreplaceable.clear();
    SaveRunLog(log, files, kPath);
    EXPECT_EQ(files.Has(kept), 1u);
}

// A save killed midway left its temporary file; the next save removes such
// files, and only those, from the log's own folder.
TEST(RunLogSave, RemovesTheTemporaryFilesOfAnInterruptedSave) {
    FixedClock clock;
    FakeFileSystem files;
    const std::string dir = "Z:\\quendro\\";
    files.AddFile(kPath, "old\r\n");
    for (const char* name : {"qlg1A2F.tmp", "QLG7.TMP", "qlg12345.tmp", "qlgx.tmp", "qlg.tmp", "aqlg1.tmp",
                             "qlg1.tmp.txt", "qlg1.txt", "sub\\qlg1.tmp"})
        files.AddFile(dir + name, "stale");
    files.AddFile("Z:\\other\\qlg1.tmp", "stale");
    files.tempCounter = 100;  // this save's own name is new
    SaveRunBlock("", clock, files, kPath);
    std::vector<std::string> left;
    for (const auto& n : files.nodes)
        if (!n.folder) left.push_back(n.path);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{
                        "Z:\\other\\qlg1.tmp", dir + "aqlg1.tmp", dir + "log.txt", dir + "qlg.tmp",
                        dir + "qlg1.tmp.txt", dir + "qlg1.txt", dir + "qlg12345.tmp", dir + "qlgx.tmp",
                        dir + "sub\\qlg1.tmp"}));
    EXPECT_EQ(files.Content(kPath), "old\r\n");
}

// Another run's block as it saved it, ending in CR CR LF.
const std::string kTheirs = std::string(kLogSeparator) + "\r\n[2001/10/28 02:59:00] 実行開始\r\n" +
                            kLogSeparator + "\r\n\r\r\n";

// Runs that overlap: a save appends its block to what log.txt holds once it
// has the lock, and clears interrupted saves' files only while holding it.
TEST(RunLogSave, OverlappingRunsKeepEveryBlock) {
    const std::string dir = "Z:\\quendro\\";
    const std::string create = std::string("create ") + kLogLockName, wait = "wait 120000";
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        void (*arrange)(FakeFileSystem&);
        bool theirsKept;  // another run saved while this one waited
        bool cleared;     // an interrupted save's temporary file was removed
        V calls;
    };
    const Case cases[] = {
        {"lock free", [](FakeFileSystem&) {}, false, true, {create, wait, "release", "close"}},
        {"another run saves while this one waits",
         [](FakeFileSystem& f) { f.whileWaiting = [](FakeFileSystem& g) { g.AddFile(kPath, "old\r\n" + kTheirs); }; },
         true, true, {create, wait, "release", "close"}},
        {"its holder died mid-save", [](FakeFileSystem& f) { f.waitAnswer = wr::kAbandoned; }, false, true,
         {create, wait, "release", "close"}},
        {"a live save holds it past the wait", [](FakeFileSystem& f) { f.waitAnswer = wr::kTimeout; }, false, false,
         {create, wait, "close"}},
        {"the wait fails", [](FakeFileSystem& f) { f.waitAnswer = wr::kFailed; }, false, false,
         {create, wait, "close"}},
        {"no mutex to be had", [](FakeFileSystem& f) { f.mutexCreateFails = true; }, false, false, {create}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FixedClock clock;
        FakeFileSystem files;
        files.AddFile(kPath, "old\r\n");
        files.AddFile(dir + "qlg7.tmp", "another save's");
        TRunLog log(clock);
        AppendRunHeader(log);
        AddLogLine(log, "mine");
        AppendEndOfRun(log);
        c.arrange(files);
        SaveRunBlock(log.Image(), clock, files, kPath);
        // Their end-of-run line reads back as two empty lines.
        const std::string theirs = c.theirsKept ? kTheirs.substr(0, kTheirs.size() - 3) + "\r\n\r\n" : "";
        EXPECT_EQ(files.Content(kPath), "old\r\n" + theirs + log.Image());
        EXPECT_EQ(files.Has(dir + "qlg7.tmp"), !c.cleared);
        EXPECT_EQ(files.mutexCalls, c.calls);
        EXPECT_EQ(files.OpenHandles(), 0u);
    }
}

// A log that cannot be read at the save is a failed save: the block is not
// written over a history it did not see.
TEST(RunLogSave, UnreadableAtTheSaveIsACreateError) {
    FixedClock clock;
    FakeFileSystem files;
    files.AddFile(kPath, "old\r\n");
    files.unreadable.insert(kPath);
    EXPECT_THROW(SaveRunBlock("new\r\n", clock, files, kPath), EFileCreateError);
    files.unreadable.clear();
    EXPECT_EQ(files.Content(kPath), "old\r\n");
    EXPECT_EQ(files.mutexCalls.back(), "close");
}

// Each recovery keeps the copies of those before it.
TEST(RunLogSave, ALaterRecoveryKeepsTheEarlierCopies) {
    FixedClock clock;
    FakeFileSystem files;
    files.AddFile(kPath, "old\r\n");
    files.unreplaceable.insert(kPath);
    files.tearing.insert(kPath);
    std::vector<std::string> images;
    for (const char* line : {"first", "second", "third"}) {
        TRunLog log(clock);
        log.Add(line);
        images.push_back(log.Image());
        EXPECT_THROW(SaveRunLog(log, files, kPath), EFileCreateError);
    }
    EXPECT_EQ(files.Content("Z:\\quendro\\log-recovered.txt"), images[0]);
    EXPECT_EQ(files.Content("Z:\\quendro\\log-recovered-2.txt"), images[1]);
    EXPECT_EQ(files.Content("Z:\\quendro\\log-recovered-3.txt"), images[2]);
}

}  // namespace
