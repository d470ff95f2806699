// Windows with project components: the stored description of the main
// window, loading and storing in design mode, and descriptions that do not fit.
#include "FakeProjectHost.h"
#include "TestFiles.h"
#include "VersionReader.h"
#include "project/ProjectForm.h"
#include "project/ProjectStore.h"
#include "project/VersionInfo.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace {

std::string MainDescription() {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(QUENDRO_MAIN_DFM);
    return std::string(bytes.begin(), bytes.end());
}

TEST(ProjectForm, TheFinishedProgramHoldsTheStoredValues) {
    FakeProjectHost host;
    TProjectForm form(host, UnavailableBackup(), false);
    form.Load(MainDescription());
    const TProject* q = form.Find("QUENDRO");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->Build(), 4);
    EXPECT_EQ(q->Version(), "1.00");
    ASSERT_EQ(q->Log().size(), 6u);  // the stored five, then the loading's own version line
    EXPECT_EQ(q->Log()[0], "2001/09/24 13:04:31: Project started.");
    EXPECT_EQ(q->Log()[4], "2001/12/28 20:21:08: Versionresource written - build 4.");
    EXPECT_EQ(q->BackupFiles() + q->BackupPath() + q->ProjectPath(), "");
    EXPECT_TRUE(q->SmartBackup());
    EXPECT_EQ(q->Description(), "Quendro 実行ファイル");
    EXPECT_EQ(q->Language(), lanJapanese);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_FALSE(host.registry.HasKey(kDefaultsKey));
    EXPECT_TRUE(host.titles.empty());  // AutoNaming is off

    TVersionInfo info;
    q->FillVersionInfo(info);
    const std::vector<unsigned char> image = info.Image();
    const ReadVersion v = ReadResFile(std::vector<std::uint8_t>(image.begin(), image.end()));
    EXPECT_EQ(v.tableKey, "041104E4");
    EXPECT_EQ(v.flags, 0u);
    EXPECT_EQ(v.fileVersionHigh, 0x00010000u);
    EXPECT_EQ(v.fileVersionLow, 0x00040000u);
    std::map<std::string, std::u16string> values(v.strings.begin(), v.strings.end());
    EXPECT_EQ(values["FileVersion"], u"1.00.4");
    EXPECT_EQ(values["InternalName"], u"QUENDRO");
    EXPECT_EQ(values["CompanyName"], u"Quendro Project");
    EXPECT_EQ(values.count("SpecialBuild") + values.count("PrivateBuild") + values.count("LegalTrademarks"), 0u);
}

TEST(ProjectForm, DesignModeOpenAndStore) {
    // The counter after opening, storing and opening again; it never turns negative.
    const struct {
        int stored, opened, first, second;
    } cases[] = {
        {4, 5, 6, 7},
        {2147483647, 2147483647, 2147483647, 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        FakeProjectHost host;
        host.registry.SetText(kDefaultsKey, "Warning", "1");
        host.files.AddFolder("f:");
        host.files.AddFolder("f:\\backup");
        host.files.AddFolder("f:\\project");
        host.files.AddFolder("f:\\project\\quendro");
        TProjectForm form(host, UnavailableBackup(), true);
        std::string description = MainDescription();
        description.replace(description.find("Build = 4"), 9, "Build = " + std::to_string(c.stored));
        form.Load(description);
        TProject& q = *form.Find("QUENDRO");
        EXPECT_EQ(q.Build(), c.opened);
        EXPECT_EQ(q.Log().size(), 5u);  // the stored version arrives silently
        EXPECT_EQ(q.ProjectPath(), "f:\\project\\quendro");
        const std::string stored = form.Store();
        EXPECT_EQ(q.Build(), c.first);
        EXPECT_TRUE(host.files.Has("f:\\project\\quendro\\Version.res"));
        // Storing again what was loaded gives the same text but for the counter and the new log line.
        TProjectForm again(host, UnavailableBackup(), true);
        again.Load(stored);
        EXPECT_EQ(again.Find("QUENDRO")->Build(), c.second);
        const std::string first = "Build = " + std::to_string(c.first);
        EXPECT_EQ(again.Find("QUENDRO")->Log().back(),
                  "2001/9/24 9:04:31: Versionresource written - build " + std::to_string(c.first) + ".");
        EXPECT_EQ(again.Describe(), form.Describe().replace(form.Describe().find(first), first.size(),
                                                            "Build = " + std::to_string(c.second)));

        host.files.refuseCreate = true;
        EXPECT_THROW(again.Store(), EProjectError);
    }
}

TEST(ProjectForm, DescriptionsThatDoNotFitChangeNothing) {
    const std::string head = "object Form1: TForm1\n  object P: TProject\n";
    const struct {
        const char* body;
        const char* message;
    } cases[] = {
        {"    Colour = 1\n", "line 3, column 5: unknown property \"Colour\" of TProject"},
        {"    Build = 'x'\n", "line 3, column 13: Build needs an integer, not string"},
        {"    AutoNaming = Yes\n", "line 3, column 18: \"Yes\" is not True or False"},
        {"    Language = lanKlingon\n", "line 3, column 16: \"lanKlingon\" is not a TLanguage member"},
        {"    Notes.Strings = 'x'\n", "line 3, column 21: Notes.Strings needs a list of strings, not string"},
        {"  end\n  object L: TLabel\n", "line 4, column 3: unknown class \"TLabel\""},
        {"  end\n  object P: TProject\n", "line 4, column 3: a second component named P"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        FakeProjectHost host;
        TProjectForm form(host, UnavailableBackup(), true);
        try {
            form.Load(head + c.body + "  end\nend\n");
            ADD_FAILURE() << "loaded";
        } catch (const EDescriptionError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_TRUE(form.Components().empty());
        EXPECT_FALSE(host.registry.HasKey(kDefaultsKey));  // nothing was created
        EXPECT_TRUE(host.boxes.empty());
    }
}

TStoredObject Without(const std::vector<TStoredProperty>& properties) {
    TStoredObject object;
    for (const TStoredProperty& p : properties) {
        if (p.name != "Log.Strings" && p.name != "BackupFiles" && p.name != "BackupPath" && p.name != "ProjectPath") {
            object.properties.push_back(p);
        }
    }
    return object;
}

TEST(ProjectForm, RandomValuesSurviveStoreAndLoad) {
    std::mt19937 random(20261209);
    auto text = [&](bool allowEmpty) {
        std::string t;
        const int length = static_cast<int>(random() % 12) + (allowEmpty ? 0 : 1);
        for (int i = 0; i < length; ++i) {
            const char* const pieces[] = {"a", "Z", "'", "#", " ", "\r", "\x01", "表", "ソ", "\xA9", "_", "+"};
            t += pieces[random() % 12];
        }
        return t;
    };
    for (int round = 0; round < 200; ++round) {
        FakeProjectHost host;
        host.registry.SetText(kDefaultsKey, "Warning", "1");
        TProjectForm form(host, UnavailableBackup(), true);
        form.New("Form1", "TForm1");
        TProject& p = form.Place("P" + std::to_string(round));
        p.SetAutoNaming(random() % 2);
        p.SetSmartBackup(random() % 2);
        p.SetBuild(static_cast<int>(random()) - 1000);
        p.SetNotes({text(true), text(false)});
        p.SetVersion(text(true));
        for (const char* name : {"Company", "Copyright", "Comment", "Description", "SpecialBuild", "PrivateBuild",
                                 "Productname", "ProductVersion", "OriginalName", "Trademarks", "ResourceFile"}) {
            AssignPropertyText(p, name, text(true));
        }
        p.SetLanguage(static_cast<TLanguage>(random() % kLanguageCount));
        p.SetCharset(static_cast<TCharset>(random() % kCharsetCount));
        p.SetFileType(static_cast<TFileType>(random() % kFileTypeCount));
        const std::string stored = form.Describe();
        TProjectForm loaded(host, UnavailableBackup(), false);
        loaded.Load(stored);
        // Outside design mode the paths are not taken, and loading logs the version.
        TStoredObject a = Without(StoredProjectProperties(p)), b = Without(StoredProjectProperties(*loaded.Components().at(0)));
        EXPECT_EQ(FormatDescription(a), FormatDescription(b)) << stored;
        // Each value comes back as itself, not as another property's.
        const TProject& q = *loaded.Components().at(0);
        for (auto get : {&TProject::Company, &TProject::Copyright, &TProject::Comment, &TProject::Description,
                         &TProject::SpecialBuild, &TProject::PrivateBuild, &TProject::Productname,
                         &TProject::ProductVersion, &TProject::OriginalName, &TProject::Trademarks,
                         &TProject::ResourceFile, &TProject::Version})
            EXPECT_EQ((q.*get)(), (p.*get)()) << stored;
        EXPECT_EQ(std::make_tuple(q.AutoNaming(), q.SmartBackup(), q.Build(), q.Notes(), q.Language(), q.Charset(), q.FileType()),
                  std::make_tuple(p.AutoNaming(), p.SmartBackup(), p.Build(), p.Notes(), p.Language(), p.Charset(), p.FileType()));
    }
}

TEST(ProjectForm, AssignmentsAsText) {
    FakeProjectHost host;
    host.registry.SetText(kDefaultsKey, "Warning", "1");
    DesignedWindow window;
    TProject p(&window, host);
    const struct {
        const char* name;
        const char* value;
        const char* error;  // nullptr: accepted
    } cases[] = {
        {"Build", "-2147483648", nullptr},     {"Build", "2147483648", "\"2147483648\" is not an integer for Build"},
        {"build", "12", nullptr},              {"Build", "1x", "\"1x\" is not an integer for Build"},
        {"AutoBackup", "true", nullptr},       {"AutoBackup", "1", "\"1\" is not True or False for AutoBackup"},
        {"Charset", "csUnicode", nullptr},     {"FileType", "ftDriver", "\"ftDriver\" is not a TFileType member for FileType"},
        {"Notes", "one line", nullptr},        {"Colour", "red", "TProject has no property \"Colour\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        try {
            AssignPropertyText(p, c.name, c.value);
            EXPECT_FALSE(c.error);
        } catch (const EProjectError& e) {
            ASSERT_TRUE(c.error);
            EXPECT_EQ(e.Message(), c.error);
        }
    }
    EXPECT_EQ(p.Build(), 12);
    EXPECT_TRUE(p.AutoBackup());
    EXPECT_EQ(p.Charset(), csUnicode);
    EXPECT_EQ(p.Notes(), TStrings({"one line"}));
}

}  // namespace
