// The project component's rules, against a fake host and registry.
#include "FakeProjectHost.h"
#include "VersionReader.h"
#include "project/UserReg.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const char* const kTs = "2001/9/24 9:04:31";
const char* const kNotice =
    "Please note: The backup-feature has been changed.\rBackups will now include subfolders under ProjectPath\r"
    "and the BackupPath is now the backup-root.\r\rPlease see the helpfile for more info.";

class RecordingBackup : public IProjectBackup {
public:
    bool fail = false;
    std::vector<std::string> versions;  // Version at the moment of each backup
    void BackupProject(TProject& project) override {
        versions.push_back(project.Version());
        if (fail) throw EProjectError("Target path does not exist");
        project.AddLogLine(": Backup successfull");
    }
};

struct Fixture {
    FakeProjectHost host;
    RecordingBackup backup;
    DesignedWindow window{true};
    DesignedWindow running{false};
    std::unique_ptr<TProject> Create(bool designing = true) {
        auto p = std::make_unique<TProject>(designing ? &window : &running, host, backup);
        p->SetName("My_Tool");
        return p;
    }
    // A designed component as a loaded window leaves it: stored version 1.00, build 4.
    std::unique_ptr<TProject> Loaded() {
        host.registry.SetText(kDefaultsKey, "Warning", "1");
        auto p = Create();
        p->SetBuild(4);
        p->SetVersion("1.00");
        p->AfterLoad();
        return p;
    }
};

TEST(ProjectCreation, DesignModeStartsFromDefaultsAndShowsTheNoticeOnce) {
    Fixture f;
    auto p = f.Create();
    EXPECT_EQ(p->Log(), TStrings({std::string(kTs) + ": Project started."}));
    EXPECT_EQ(p->BackupFiles(), "*.dfm;*.pas;*.dpr;*.dof;*.dsk;*.res");
    EXPECT_EQ(p->Version(), "0.01");
    EXPECT_EQ(p->ProjectPath(), "c:\\work\\editor");
    EXPECT_EQ(p->BackupPath(), "C:\\Work\\Editor");  // the default keeps the system's letter case
    EXPECT_EQ(p->Company(), "<Name of your company>");
    EXPECT_EQ(p->Copyright(), "Copyrights \xA9 Quendro Project, 2026");
    EXPECT_EQ(p->Language(), lanUS_English);
    EXPECT_EQ(p->Charset(), csMultilingual);
    EXPECT_FALSE(p->SmartBackup());
    EXPECT_EQ(p->Comment(), "<Additional diagnostic info>");
    EXPECT_EQ(p->ProductVersion(), "<0.0.0.0>");
    EXPECT_EQ(p->ResourceFile(), "Version.res");
    EXPECT_TRUE(p->VersionLoadPending());
    ASSERT_EQ(f.host.boxes.size(), 1u);
    EXPECT_EQ(f.host.boxes[0].text, kNotice);
    EXPECT_EQ(f.host.boxes[0].caption, "Warning");
    EXPECT_EQ(f.host.boxes[0].style, 0x40u);
    EXPECT_EQ(f.host.registry.Text(kDefaultsKey, "Warning"), "1");
    EXPECT_EQ(f.host.registry.OpenKeys(), 0);
    f.Create();
    EXPECT_EQ(f.host.boxes.size(), 1u);
}

TEST(ProjectCreation, OutsideDesignModeNothingIsSetAndPathsIgnoreAssignments) {
    Fixture f;
    auto p = f.Create(false);
    EXPECT_TRUE(p->Log().empty());
    EXPECT_EQ(p->Version(), "");
    EXPECT_EQ(p->Language(), lanArabic);
    EXPECT_FALSE(f.host.registry.HasKey(kDefaultsKey));
    p->SetBackupFiles("*.txt");
    p->SetBackupPath("C:\\Work");
    p->SetProjectPath("C:\\Work");
    EXPECT_EQ(p->BackupFiles() + p->BackupPath() + p->ProjectPath(), "");
    p->SetVersion("2.0");  // never asks, still logs in memory
    EXPECT_EQ(p->Log().back(), std::string(kTs) + ": Version 2.0");
    p->SetAutoNaming(true);
    p->SetBuild(4);
    p->AfterLoad();
    EXPECT_EQ(f.host.titles, TStrings({"My_Tool ver. 2.0.4", "My Tool ver. 2.0.4"}));
    EXPECT_TRUE(f.host.boxes.empty());
}

TEST(ProjectDefaults, StoredValuesAndTheirLimits) {
    const std::string long298(298, 'x'), long299(299, 'x');
    struct Case {
        const char* name;
        std::function<void(FakeRegistry&)> store;
        std::function<void(const TProject&)> check;
        const char* error;
    } cases[] = {
        {"language and charset", [](FakeRegistry& r) { r.SetText(kDefaultsKey, "Language", "16"); r.SetText(kDefaultsKey, "CHARSET", "1"); },
         [](const TProject& p) { EXPECT_EQ(p.Language(), lanJapanese); EXPECT_EQ(p.Charset(), csJapan_JIS_X_0208); }, nullptr},
        {"lowest byte", [](FakeRegistry& r) { r.SetText(kDefaultsKey, "Language", "272"); r.SetText(kDefaultsKey, "SmartBackup", "256"); },
         [](const TProject& p) { EXPECT_EQ(p.Language(), lanJapanese); EXPECT_FALSE(p.SmartBackup()); }, nullptr},
        {"any smart byte is true", [](FakeRegistry& r) { r.SetText(kDefaultsKey, "SmartBackup", "2"); },
         [](const TProject& p) { EXPECT_TRUE(p.SmartBackup()); }, nullptr},
        {"texts", [&](FakeRegistry& r) { r.SetText(kDefaultsKey, "Company", long298); r.SetText(kDefaultsKey, "Copyrights", long299);
                                         r.SetText(kDefaultsKey, "BackupPath", "d:\\Backup"); },
         [&](const TProject& p) { EXPECT_EQ(p.Company(), long298); EXPECT_EQ(p.Copyright(), CopyrightDefault(2026));
                                  EXPECT_EQ(p.BackupPath(), "d:\\Backup"); }, nullptr},
        {"language past the last member", [](FakeRegistry& r) { r.SetText(kDefaultsKey, "Language", "46"); }, nullptr,
         "'46' is not a valid TLanguage for \"Language\""},
        {"charset past the last member", [](FakeRegistry& r) { r.SetText(kDefaultsKey, "Charset", "-1"); }, nullptr,
         "'-1' is not a valid TCharset for \"Charset\""},
        {"not a number", [](FakeRegistry& r) { r.SetText(kDefaultsKey, "Warning", "yes"); }, nullptr,
         "'yes' is not a valid integer value for \"Warning\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.host.registry.SetText(kDefaultsKey, "Warning", "7");
        c.store(f.host.registry);
        if (c.error) {
            try {
                f.Create();
                ADD_FAILURE() << "no error";
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.Message(), c.error);
            }
        } else {
            c.check(*f.Create());
        }
        EXPECT_EQ(f.host.registry.OpenKeys(), 0);
    }
}

TEST(ProjectStore, BeforeStoreSavesDefaultsAndWritesTheResource) {
    Fixture f;
    auto p = f.Loaded();
    p->SetComment("comment");
    p->SetCompany("Quendro Project");
    p->SetCopyright("copyright");
    p->SetDescription("Quendro 実行ファイル");
    p->SetProductname("product");
    p->SetProductVersion("1.0 beta");
    p->SetOriginalName("Q.EXE");
    p->SetTrademarks("marks");
    p->SetSpecialBuild("special");
    p->SetPrivateBuild("<Private information>");
    p->SetLanguage(lanJapanese);
    p->SetResourceFile("info.txt");
    f.host.registry.writes.clear();
    p->BeforeStore();
    EXPECT_EQ(p->Build(), 6);  // +1 at load, +1 at store
    EXPECT_EQ(f.host.registry.writes,
              TStrings({"BackupPath", "Company", "Copyrights", "Language", "CharSet", "SmartBackup"}));
    EXPECT_EQ(f.host.registry.Text(kDefaultsKey, "Language"), "16");
    EXPECT_EQ(f.host.registry.Text(kDefaultsKey, "Charset"), "7");
    EXPECT_EQ(p->Log().back(), std::string(kTs) + ": Versionresource written - build 6.");
    ASSERT_TRUE(f.host.files.Has("c:\\work\\editor\\info.res"));
    const ReadVersion v = ReadResFile(f.host.files.Bytes("c:\\work\\editor\\info.res"));
    EXPECT_EQ(v.language, 0x0411);
    EXPECT_EQ(v.flags, 0x20u);  // special build only: a placeholder sets no flag, 1.00 is a release
    const std::map<std::string, std::u16string> values(v.strings.begin(), v.strings.end());
    const std::map<std::string, std::u16string> expected = {
        {"Comments", u"comment"}, {"CompanyName", u"Quendro Project"}, {"LegalCopyright", u"copyright"},
        {"FileDescription", u"Quendro \u5B9F\u884C\u30D5\u30A1\u30A4\u30EB"}, {"ProductName", u"product"},
        {"ProductVersion", u"1.0 beta"}, {"OriginalFilename", u"Q.EXE"}, {"LegalTrademarks", u"marks"},
        {"SpecialBuild", u"special"}, {"InternalName", u"My Tool"}, {"FileVersion", u"1.00.6"}};
    EXPECT_EQ(values, expected);
    EXPECT_EQ(p->Name(), "My_Tool");

    // Both build flags and a pre-release version.
    p->SetPrivateBuild("private");
    f.host.answers.push_back(mb::kIdNo);
    p->SetVersion("0.99");
    p->BeforeStore();
    EXPECT_EQ(ReadResFile(f.host.files.Bytes("c:\\work\\editor\\info.res")).flags, 0x2Au);
}

TEST(ProjectStore, FailuresStopTheStore) {
    {
        Fixture f;
        auto p = f.Loaded();
        f.host.files.refuseCreate = true;
        try {
            p->BeforeStore();
            ADD_FAILURE() << "no error";
        } catch (const EProjectError& e) {
            EXPECT_EQ(e.Message(), "Error occured writing versionresource");
        }
        EXPECT_EQ(p->Build(), 6);
        EXPECT_EQ(p->Log().back(), std::string(kTs) + ": Error occured writing versionresource - build 6.");
        EXPECT_FALSE(f.host.files.Has("c:\\work\\editor\\info.res"));
    }
    {
        Fixture f;
        auto p = f.Loaded();
        p->SetCompany(std::string(300, 'c'));  // longer than the registry's text buffer
        const std::size_t lines = p->Log().size();
        try {
            p->BeforeStore();
            ADD_FAILURE() << "no error";
        } catch (const ERegistryError& e) {
            EXPECT_EQ(e.Message(), "Error writing string to Registry");
        }
        EXPECT_EQ(p->Log().size(), lines);  // the resource step never ran
        EXPECT_FALSE(f.host.files.Has("c:\\work\\editor\\info.res"));
        EXPECT_EQ(f.host.registry.OpenKeys(), 0);
    }
}

TEST(ProjectVersion, AssignmentRule) {
    struct Case {
        const char* name;
        bool autoBackup;
        int answer;  // 0: no question expected
        bool backupFails;
        const char* assigned;
        const char* version;
        int build;
        const char* lastLine;  // after the timestamp; nullptr: no new line
        int backups;
    } cases[] = {
        {"yes backs up the old version", false, mb::kIdYes, false, "v1.01", "1.01", 0, ": Version 1.01", 1},
        {"no skips the backup", false, mb::kIdNo, false, "1.01", "1.01", 0, ": Version 1.01", 0},
        {"cancel keeps the old version", false, mb::kIdCancel, false, "1.01", "1.00", 5, ": Version 1.00", 0},
        {"a failed backup keeps the version", false, mb::kIdYes, true, "1.01", "1.00", 0, nullptr, 1},
        {"automatic backup asks nothing", true, 0, false, "1.01", "1.01", 0, ": Version 1.01", 1},
        {"automatic backup failing", true, 0, true, "1.01", "1.00", 0, nullptr, 1},
        {"the same version again", false, 0, false, "Release 1.00", "1.00", 5, ": Version 1.00", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        auto p = f.Loaded();
        p->SetAutoBackup(c.autoBackup);
        f.backup.fail = c.backupFails;
        if (c.answer) f.host.answers.push_back(c.answer);
        const std::size_t lines = p->Log().size();
        bool raised = false;
        try {
            p->SetVersion(c.assigned);
        } catch (const EProjectError&) {
            raised = true;
        }
        EXPECT_EQ(raised, c.backupFails);
        EXPECT_EQ(p->Version(), c.version);
        EXPECT_EQ(p->Build(), c.build);
        EXPECT_EQ(f.backup.versions, TStrings(c.backups, "1.00"));
        const std::size_t added = (c.lastLine ? 1u : 0u) + (c.backups && !c.backupFails ? 1u : 0u);
        ASSERT_EQ(p->Log().size(), lines + added);
        if (c.lastLine) {
            EXPECT_EQ(p->Log().back(), std::string(kTs) + c.lastLine);
        }
        if (c.answer) {
            ASSERT_EQ(f.host.boxes.size(), 1u);
            EXPECT_EQ(f.host.boxes[0].text, "Create backup of version 1.00?");
            EXPECT_EQ(f.host.boxes[0].caption, "Version number changed");
            EXPECT_EQ(f.host.boxes[0].style, 0x23u);
        } else {
            EXPECT_TRUE(f.host.boxes.empty());
        }
    }
}

TEST(ProjectVersion, FirstAssignmentAfterCreationIsSilentAndUnavailableBackupFails) {
    FakeProjectHost host;
    host.registry.SetText(kDefaultsKey, "Warning", "1");
    DesignedWindow window;
    TProject p(&window, host);
    p.SetVersion("2.5");
    EXPECT_EQ(p.Version(), "2.5");
    EXPECT_EQ(p.Log().size(), 1u);
    host.answers.push_back(mb::kIdYes);
    EXPECT_THROW(p.SetVersion("2.6"), EProjectError);
    EXPECT_EQ(p.Version(), "2.5");
}

TEST(ProjectPaths, CheckPathAndTheFolderRule) {
    struct Case {
        const char* name;
        const char* value;
        int answer;  // 0: no question
        const char* refuse;
        const char* result;  // nullptr: "Could not create path"
        const char* question;
    } cases[] = {
        {"existing folder", "C:\\WORK", 0, nullptr, "c:\\work", nullptr},
        {"relative and created", "New\\ソ\\表", mb::kIdYes, nullptr, "c:\\work\\editor\\new\\ソ\\表",
         "Path \"c:\\work\\editor\\new\\ソ\\表\" does not exist.\rCreate it?"},
        {"no gives the current directory", "D:\\Missing", mb::kIdNo, nullptr, "c:\\work\\editor",
         "Path \"d:\\missing\" does not exist.\rCreate it?"},
        {"escape counts as no", "D:\\Missing", mb::kIdCancel, nullptr, "c:\\work\\editor", nullptr},
        {"creation refused", "C:\\Work\\Locked\\Deep", mb::kIdYes, "C:\\Work\\Locked", nullptr, nullptr},
        {"empty text yes", "", mb::kIdYes, nullptr, nullptr, "Path \"\" does not exist.\rCreate it?"},
        {"empty text no", "", mb::kIdNo, nullptr, "c:\\work\\editor", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        auto p = f.Loaded();
        p->SetBackupPath("C:\\Work");
        if (c.refuse) f.host.files.refuseFolders.insert(c.refuse);
        if (c.answer) f.host.answers.push_back(c.answer);
        try {
            p->SetBackupPath(c.value);
            EXPECT_TRUE(c.result);
            if (c.result) {
                EXPECT_EQ(p->BackupPath(), c.result);
            }
        } catch (const EProjectError& e) {
            EXPECT_FALSE(c.result);
            EXPECT_EQ(e.Message(), "Could not create path");
            EXPECT_EQ(p->BackupPath(), "c:\\work");
        }
        EXPECT_EQ(f.host.boxes.size(), c.answer ? 1u : 0u);
        if (c.question) {
            EXPECT_EQ(f.host.boxes.at(0).text, c.question);
        }
        if (c.answer) {
            EXPECT_EQ(f.host.boxes.at(0).style, 0x24u);
        }
        EXPECT_TRUE(f.host.answers.empty());
    }
    // Parents first; a trail byte 0x5C is not a separator.
    FakeFileSystem files;
    ForceFolder(files, "C:\\ソ\\表\\");
    EXPECT_EQ(files.createdFolders, TStrings({"C:\\ソ", "C:\\ソ\\表"}));
    EXPECT_EQ(FullFolderPath(files, "C:\\ソ"), "C:\\ソ\\");
    EXPECT_EQ(FullFolderPath(files, "C:\\表\\"), "C:\\表\\");
    EXPECT_THROW(FullFolderPath(files, ""), EProjectError);
    EXPECT_EQ(LastSeparator("a:b\\表"), 3u);
}

TEST(ProjectTexts, PureRules) {
    EXPECT_EQ(CleanVersion("Release 1.2 beta"), "1.2");
    EXPECT_EQ(CleanVersion("abc"), "0.01");
    EXPECT_EQ(CleanVersion(""), "0.01");
    for (const char* v : {"0.01", "0.99", "1.00.1", "0.01.1", ".", "00.5"}) EXPECT_TRUE(IsPreRelease(v)) << v;
    for (const char* v : {"1.00", "2", "10.", "01.0"}) EXPECT_FALSE(IsPreRelease(v)) << v;
    EXPECT_FALSE(IsFilledIn(""));
    EXPECT_FALSE(IsFilledIn("<Private information>"));
    EXPECT_TRUE(IsFilledIn("x<"));
    // "ア" is 83 41 and "ソ" 83 5C: their trail bytes are no letters or separators.
    EXPECT_EQ(LowerAscii("ABC\\アソZ"), "abc\\アソz");
    Fixture f;
    auto p = f.Loaded();
    for (auto [in, out] : {std::pair{"Ver", "Ver.res"}, {"info.txt", "info.res"}, {"", ".res"}, {"a.b\\c", "a.b\\c.res"}}) {
        p->SetResourceFile(in);
        EXPECT_EQ(p->ResourceFile(), out);
    }
    p->SetBackupFiles("");
    EXPECT_EQ(p->BackupFiles(), "*.*");
    p->SetBackupFiles("*.PAS;*.ア");
    EXPECT_EQ(p->BackupFiles(), "*.pas;*.ア");
}

}  // namespace
