// The project backup against an in-memory tree: what it walks, what it
// copies, what a failure leaves, and the version change that runs it.
#include "FakeFileSystem.h"
#include "FakeProjectHost.h"
#include "project/Backup.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const std::string kTs = "2001/9/24 9:04:31";

// A backup of C:\Src into C:\Bak.
struct Rig {
    FakeFileSystem files;
    FakeProjectHost host;
    std::string target = "C:\\Bak";
    Rig() { files.AddFolder("C:\\Src"); }
    // The error raised, or "" when it worked.
    std::string Run(const std::string& masks, std::uint8_t mode = 0) {
        files.AddFolder(target);
        TBackup backup(files, host);
        std::string error;
        try {
            backup.SetSourcePath("C:\\Src");
            backup.SetTargetPath(target);
            backup.SetFileMasks(masks);
            backup.CopyMode = mode;
            // A failed file raises, so Execute's result tells nothing; the copies do.
            backup.Execute();
            for (const std::string& path : files.createdFiles) {
                EXPECT_EQ(files.Content(path), files.Content("C:\\Src" + path.substr(target.size()))) << path;
            }
        } catch (const EProjectError& e) {
            error = e.Message();
        }
        EXPECT_EQ(files.OpenHandles(), 0u);
        return error;
    }
    // The files created, below the target, in order.
    std::string Copied() const {
        std::string list;
        for (const std::string& path : files.createdFiles) list += " " + path.substr(target.size() + 1);
        return list.empty() ? list : list.substr(1);
    }
};

std::string FileError(const std::string& name) {
    return "Error occured during backup of \"" + name + "\".\rBackup may not be complete";
}

TEST(BackupWalk, OrderMasksAndModes) {
    struct Case {
        const char* masks;
        std::uint8_t mode;
        const char* copied;
    } cases[] = {
        {"*.pas", 0, "b.pas A.PAS hs.pas Zeta\\z.pas ソ表\\表.pas"},
        {"", 0, "b.pas A.PAS n.txt hs.pas Zeta\\z.pas Alpha\\a.txt ソ表\\表.pas"},
        {" *.txt ; *.PAS", 0, "n.txt b.pas A.PAS hs.pas Zeta\\z.pas Alpha\\a.txt ソ表\\表.pas"},
        {"*.pas;b.*", 0, "b.pas A.PAS hs.pas b.pas Zeta\\z.pas ソ表\\表.pas"},
        {"*.pas;b.*", 1, "b.pas A.PAS hs.pas Zeta\\z.pas ソ表\\表.pas"},
        {"*.*;", 1, "b.pas A.PAS hs.pas Zeta\\z.pas Alpha\\a.txt ソ表\\表.pas"},
        {"*.*", 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.masks + std::string(" mode ") + std::to_string(c.mode));
        Rig r;
        r.files.AddFile("C:\\Src\\b.pas", "b");
        r.files.AddFile("C:\\Src\\Zeta\\z.pas", "z");
        r.files.AddFile("C:\\Src\\A.PAS", "A");
        r.files.AddFile("C:\\Src\\n.txt", "n", 0);  // lists as 0x80, no archive bit
        r.files.AddFile("C:\\Src\\hs.pas", "hs", 0x27);
        r.files.AddFile("C:\\Src\\Alpha\\a.txt", "a");
        r.files.AddFolder("C:\\Src\\Hid", 0x12);
        r.files.AddFile("C:\\Src\\Hid\\h.pas", "h");
        r.files.AddFolder("C:\\Src\\Sys", 0x14);
        r.files.AddFile("C:\\Src\\Sys\\s.pas", "s");
        r.files.AddFile("C:\\Src\\.svn\\d.pas", "d");
        r.files.AddFolder("C:\\Src\\Link", 0x410);
        r.files.AddFile("C:\\Src\\Link\\l.pas", "l");
        r.files.AddFile("C:\\Src\\ソ表\\表.pas", "表");
        EXPECT_EQ(r.Run(c.masks, c.mode), "");
        EXPECT_EQ(r.Copied(), c.copied);
        EXPECT_EQ(r.host.processed, static_cast<int>(r.files.createdFiles.size()));
        for (const std::string& path : r.files.createdFiles) {
            const std::string source = "C:\\Src" + path.substr(r.target.size());
            EXPECT_EQ(r.files.Attributes(source) & 0x20, 0u) << source;
        }
    }
}

TEST(BackupWalk, TargetFoldersOnlyWhereAFileLands) {
    Rig r;
    r.files.AddFile("C:\\Src\\One\\Two\\Three\\deep.pas", "deep");
    r.files.AddFile("C:\\Src\\One\\other.txt", "other");
    r.files.AddFile("C:\\Src\\Empty\\none.txt", "none");
    EXPECT_EQ(r.Run("*.pas"), "");
    EXPECT_EQ(r.Copied(), "One\\Two\\Three\\deep.pas");
    EXPECT_TRUE(r.files.FolderExists("C:\\Bak\\One\\Two"));
    EXPECT_FALSE(r.files.FolderExists("C:\\Bak\\Empty"));
    EXPECT_EQ(r.files.Content("C:\\Bak\\One\\Two\\Three\\deep.pas"), "deep");
}

TEST(BackupAttributes, OnlyTheArchiveBitOfTheSourceIsCleared) {
    struct Case {
        std::uint32_t source;
        std::uint32_t earlier;  // 0: no earlier copy
        std::uint32_t after;    // as GetAttributes reports it
    } cases[] = {
        {0x21, 0, 0x01}, {0x26, 0, 0x06}, {0x20, 0, 0x80}, {0x20, 0x21, 0x80}, {0x21, 0x01, 0x01},
        {0x26, 0x06, 0x06},  // a hidden system file backed up again into the same folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.source) + " over " + std::to_string(c.earlier));
        Rig r;
        r.files.AddFile("C:\\Src\\f.pas", "new");
        r.files.Find("C:\\Src\\f.pas")->attributes = c.source;
        if (c.earlier) r.files.AddFile("C:\\Bak\\f.pas", "old copy", c.earlier);
        EXPECT_EQ(r.Run("*.pas"), "");
        EXPECT_EQ(r.files.Attributes("C:\\Src\\f.pas"), c.after);
        EXPECT_EQ(r.files.Content("C:\\Bak\\f.pas"), "new");
    }
}

// Under Wine a call on a missing file scans its folder: where the backup made
// the folder, no earlier copy can be in the way, and none is asked about.
TEST(BackupAttributes, FoldersTheBackupMadeAreNotSearchedForEarlierCopies) {
    struct Case {
        const char* name;
        const char* folder;  // there before
        bool copies;         // protected earlier copies of both files
        int calls;           // attribute calls on target paths
    } cases[] = {
        {"version folder made", nullptr, false, 0},
        {"version folder there", "C:\\Bak\\Ver", false, 1},
        {"protected copies there", nullptr, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem files;
        FakeProjectHost host;
        files.AddFile("C:\\Src\\a.pas", "new a");
        files.AddFile("C:\\Src\\Sub\\b.pas", "new b");
        files.AddFolder("C:\\Bak");
        if (c.folder) files.AddFolder(c.folder);
        if (c.copies) {
            files.AddFile("C:\\Bak\\Ver\\a.pas", "old", 0x07);
            files.AddFile("C:\\Bak\\Ver\\Sub\\b.pas", "old", 0x07);
        }
        TBackup backup(files, host);
        backup.ForceFolder("C:\\Bak\\Ver\\");
        backup.SetTargetPath("C:\\Bak\\Ver\\");
        backup.SetSourcePath("C:\\Src");
        backup.SetFileMasks("*.pas");
        files.attributeCalls.clear();
        backup.Execute();
        int calls = 0;
        // The files' calls: folder checks are attribute calls too.
        for (const std::string& path : files.attributeCalls)
            calls += path.compare(0, 7, "C:\\Bak\\") == 0 && path.find(".pas") != std::string::npos;
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(files.Content("C:\\Bak\\Ver\\a.pas"), "new a");
        EXPECT_EQ(files.Content("C:\\Bak\\Ver\\Sub\\b.pas"), "new b");
        EXPECT_EQ(files.Attributes("C:\\Bak\\Ver\\Sub\\b.pas"), 0x20u);
    }
}

TEST(BackupErrors, AFailedFileStopsTheBackup) {
    using F = FakeFileSystem;
    const std::string source = "C:\\Src\\ソ表.PAS", target = "C:\\Bak\\ソ表.PAS";
    struct Case {
        const char* name;
        F::Fault fault;
        bool atTarget;
        std::uint64_t at;
        bool earlierStays;
        std::uint32_t earlierAttributes;  // of a read-only earlier copy that stays
    } cases[] = {
        {"source held open", F::kLocked, false, 0, true, 0x01},
        {"target not created", F::kRefuseCreate, true, 0, true, 0x80},
        {"read fails", F::kReadFails, false, 70000, false, 0},
        {"read short", F::kReadShort, false, 70000, false, 0},
        {"read short by the last byte", F::kReadShort, false, 99999, false, 0},
        {"write fails", F::kWriteFails, true, 70000, false, 0},
        {"write short", F::kWriteShort, true, 65519, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.files.AddFile("C:\\Src\\a.pas", "first");
        r.files.AddFile(source, std::string(100000, 'x'));
        r.files.AddFile("C:\\Src\\c.pas", "last");
        r.files.AddFile(target, "earlier copy", 0x01);
        r.files.faults[c.atTarget ? target : source] = {c.fault, c.at};
        EXPECT_EQ(r.Run("*.pas"), FileError("ソ表.pas"));
        EXPECT_EQ(r.files.Content("C:\\Bak\\a.pas"), "first");
        EXPECT_EQ(r.files.Attributes("C:\\Src\\a.pas"), 0x80u);
        EXPECT_EQ(r.files.Attributes(source), 0x20u);
        EXPECT_EQ(r.files.Content(target), c.earlierStays ? "earlier copy" : "<none>");
        if (c.earlierStays) {
            EXPECT_EQ(r.files.Attributes(target), c.earlierAttributes);
        }
        EXPECT_FALSE(r.files.Find("C:\\Bak\\c.pas"));
        EXPECT_EQ(r.files.Attributes("C:\\Src\\c.pas"), 0x20u);
        EXPECT_EQ(r.host.processed, 2);
    }
}

TEST(BackupSize, LargeFilesAreCopiedWhole) {
    for (const std::uint64_t size : {3ull << 30, (4ull << 30) + 7}) {
        SCOPED_TRACE(size);
        Rig r;
        const FakeFileSystem::Node& from = r.files.AddGenerated("C:\\Src\\big.bin", size);
        const std::uint64_t digest = from.digest;
        EXPECT_EQ(r.Run("*.bin"), "");
        const FakeFileSystem::Node* copy = r.files.Find("C:\\Bak\\big.bin");
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->size, size);
        EXPECT_EQ(copy->digest, digest);
    }
}

TEST(BackupPaths, TooLongRaisesNamingThePath) {
    const std::string longName(252, 'n');
    struct Case {
        const char* name;
        std::string file;
        std::string target;
        std::string named;
    } cases[] = {
        {"source file", "C:\\Src\\" + longName + ".pas", "C:\\Bak", "C:\\Src\\" + longName + ".pas"},
        {"folder to walk", "C:\\Src\\" + longName + "\\f.pas", "C:\\Bak", "C:\\Src\\" + longName + "\\"},
        {"target file", "C:\\Src\\" + longName.substr(200) + ".pas", "C:\\Bak\\" + longName.substr(50),
         "C:\\Bak\\" + longName.substr(50) + "\\" + longName.substr(200) + ".pas"},
        {"target folder", "C:\\Src\\" + longName.substr(200) + "\\f.pas", "C:\\Bak\\" + longName.substr(50),
         "C:\\Bak\\" + longName.substr(50) + "\\" + longName.substr(200) + "\\f.pas"},
        {"target root", "C:\\Src\\f.pas", "C:\\Bak\\" + longName + "n", "C:\\Bak\\" + longName + "n"},
    };
    for (const Case& c : cases) {
        for (const bool wine : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (wine ? " (Wine)" : ""));
            Rig r;
            r.files.wineLongNames = wine;
            r.target = c.target;
            r.files.AddFile(c.file, "f");
            EXPECT_EQ(r.Run("*.pas"), "Path too long: \"" + c.named + "\"");
            EXPECT_TRUE(r.files.createdFiles.empty());
        }
    }
}

TEST(BackupPaths, FoldersThatDoNotExistAndVersionFolders) {
    FakeFileSystem files;
    FakeProjectHost host;
    TBackup backup(files, host);
    files.AddFolder("C:\\Src");
    try {
        backup.SetSourcePath("C:\\Missing");
        ADD_FAILURE() << "no error";
    } catch (const EProjectError& e) {
        EXPECT_EQ(e.Message(), "Source path does not exist");
    }
    try {
        backup.SetTargetPath("C:\\Src\\Missing\\");
        ADD_FAILURE() << "no error";
    } catch (const EProjectError& e) {
        EXPECT_EQ(e.Message(), "Target path does not exist");
    }
    backup.SetTargetPath("C:\\Src\\");
    EXPECT_EQ(backup.TargetRoot, "C:\\Src\\");
    struct Case {
        const char* project;
        const char* version;
        const char* folder;
    } cases[] = {
        {"c:\\work\\editor", "1.02", "editor\\Ver1.02\\"},
        {"c:\\表", "1.02", "表\\Ver1.02\\"},
        {"C:\\ソ\\", "2", "ソ\\Ver2\\"},
        {"Sub\\表", "0.01", "表\\Ver0.01\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionFolder(files, c.project, c.version), c.folder) << c.project;
    }
}

// A designed project whose version 1.00 has been loaded, backed up through
// the version change.
struct ProjectRig {
    FakeProjectHost host;
    FakeFileSystem files;
    TProjectBackup backup{files};
    DesignedWindow window;
    std::unique_ptr<TProject> p;
    ProjectRig(const std::string& project, const char* backupPath) {
        host.registry.SetText(kDefaultsKey, "Warning", "1");
        host.files.AddFolder("C:\\Work\\表");
        host.files.AddFolder("C:\\Work\\Editor\\Bak");
        files.AddFolder("C:\\Work\\Editor\\Bak");
        files.AddFile(project + "\\Main.pas", "main");
        files.AddFile(project + "\\Unit1.dfm", "form");
        files.AddFile(project + "\\notes.txt", "notes");
        files.AddFile(project + "\\Sub\\x.pas", "x");
        p = std::make_unique<TProject>(&window, host, backup);
        p->SetProjectPath(project);
        if (backupPath) p->SetBackupPath(backupPath);
        p->SetVersion("1.00");
        p->AfterLoad();
    }
    // The files the version change copied; its error, or "".
    std::string Change(const std::string& version, std::size_t& copied) {
        host.answers.push_back(mb::kIdYes);
        const std::size_t before = files.createdFiles.size();
        std::string error;
        try {
            p->SetVersion(version);
        } catch (const EProjectError& e) {
            error = e.Message();
        }
        copied = files.createdFiles.size() - before;
        EXPECT_EQ(files.OpenHandles(), 0u);
        return error;
    }
    TStrings Tail(std::size_t n) const { return TStrings(p->Log().end() - n, p->Log().end()); }
};

TEST(BackupProjectVersion, TheVersionChangeRunsTheBackup) {
    struct Case {
        const char* name;
        bool smart;
        bool lock;
        const char* line;  // nullptr: the per-file error
        std::size_t copied;
    } cases[] = {
        {"every file", false, false, ": Backup successfull", 3},
        {"changed files", true, false, ": Changed files backed up successfully", 3},
        {"a file held open", false, true, nullptr, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectRig r("C:\\Work\\Editor", nullptr);
        r.p->SetSmartBackup(c.smart);
        if (c.lock) r.files.faults["c:\\work\\editor\\main.pas"] = {FakeFileSystem::kLocked, 0};
        const std::size_t lines = r.p->Log().size();
        std::size_t copied = 0;
        EXPECT_EQ(r.Change("1.01", copied), c.line ? "" : FileError("main.pas"));
        EXPECT_EQ(copied, c.copied);
        EXPECT_EQ(r.p->Build(), 0);
        EXPECT_EQ(r.files.Content("C:\\Work\\Editor\\Editor\\Ver1.00\\Unit1.dfm"), "form");
        if (c.line) {
            EXPECT_EQ(r.Tail(2), TStrings({kTs + c.line, kTs + ": Version 1.01"}));
        } else {
            EXPECT_EQ(r.p->Version(), "1.00");
            EXPECT_EQ(r.p->Log().size(), lines);
        }
    }
}

TEST(BackupProjectVersion, ChangedOnlyAfterAFullBackupCopiesNothing) {
    ProjectRig r("C:\\Work\\Editor", nullptr);
    std::size_t copied = 0;
    EXPECT_EQ(r.Change("1.01", copied), "");
    EXPECT_EQ(copied, 3u);
    r.p->SetSmartBackup(true);
    EXPECT_EQ(r.Change("1.02", copied), "");
    EXPECT_EQ(copied, 0u);
    EXPECT_TRUE(r.files.FolderExists("C:\\Work\\Editor\\Editor\\Ver1.01"));
    EXPECT_EQ(r.Tail(2), TStrings({kTs + ": Changed files backed up successfully", kTs + ": Version 1.02"}));
}

TEST(BackupProjectVersion, NoBackupHoldsItselfOrAnEarlierOne) {
    struct Case {
        const char* name;
        std::string project;
        const char* backupPath;  // nullptr: the default, the current directory
        std::string first;       // where the first backup lands
        std::size_t again;       // files the second backup copies
    } cases[] = {
        {"default", "C:\\Work\\Editor", nullptr, "C:\\Work\\Editor\\editor\\Ver1.00\\", 3},
        {"double-byte name", "C:\\Work\\表", "C:\\Work\\表", "c:\\work\\表\\表\\Ver1.00\\", 3},
        {"below the project", "C:\\Work\\Editor", "C:\\Work\\Editor\\Bak", "c:\\work\\editor\\bak\\editor\\Ver1.00\\", 3},
        // The project's folder itself holds the version folders.
        {"the project's parent", "C:\\Work\\Editor", "C:\\Work", "c:\\work\\editor\\Ver1.00\\", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectRig r(c.project, c.backupPath);
        std::size_t copied = 0;
        EXPECT_EQ(r.Change("1.01", copied), "");
        ASSERT_EQ(copied, 3u);
        EXPECT_EQ(r.files.createdFiles[0], c.first + "Unit1.dfm");
        EXPECT_EQ(r.Change("1.02", copied), "");
        EXPECT_EQ(copied, c.again);
    }
}

}  // namespace
