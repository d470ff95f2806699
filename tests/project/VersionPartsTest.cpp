// The building blocks of the version resource writer and its file handling.
#include "FakeFileSystem.h"
#include "TestFiles.h"
#include "project/VersionInfo.h"
#include "system/Exception.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct VersionCase {
    const char* text;
    std::uint32_t high;
    std::uint32_t low;
};

TEST(ParseVersionNumbers, ReadsUpToFourSixteenBitParts) {
    const VersionCase cases[] = {
        {"1.00.4", 0x00010000, 0x00040000},
        {"1.00", 0x00010000, 0},
        {"2.1.3.7.9", 0x00020001, 0x00030007},
        {"1..2", 0x00010000, 0},
        {"", 0, 0},
        {"no digits", 0, 0},
        {".5", 0, 0},
        {"70000", 4464u << 16, 0},
        {"1.70000.65535.65536", 0x00011170, 0xFFFF0000},
        {"2147483647.1", 0xFFFF0001, 0},
        {"2147483648.1", 0, 0},
        {"1.2147483648.3", 0x00010000, 0},
        {"000000000002147483647.0007", 0xFFFF0007, 0},
        {"Release 1.2 beta", 0x00010002, 0},
        {"v1.2-3.4", 0x00010017, 0x00040000},
        {"1.2.3.", 0x00010002, 0x00030000},
        {"１.2", 0, 0},  // a full-width digit is not a digit: the first part is empty
    };
    for (const VersionCase& c : cases) {
        const TVersionNumbers n = ParseVersionNumbers(c.text);
        EXPECT_EQ(c.high, n.High) << '"' << c.text << '"';
        EXPECT_EQ(c.low, n.Low) << '"' << c.text << '"';
    }
}

TEST(ResFileName, ReplacesOnlyTheFileNamesOwnExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"Version.txt", "Version.res"},
        {"Version", "Version.res"},
        {"Version.", "Version.res"},
        {"Version.res", "Version.res"},
        {"", ".res"},
        {"a.b.c", "a.b.res"},
        {"c:\\a.b\\Version", "c:\\a.b\\Version.res"},
        {"c:\\a.b\\Version.x.txt", "c:\\a.b\\Version.x.res"},
        {"c:Version", "c:Version.res"},
        {"dir.d/Version", "dir.d/Version.res"},
        // The trail byte of 表 is 0x5C, a backslash when read byte by byte.
        {"c:\\x.表", "c:\\x.res"},
        {"c:\\表.b\\版", "c:\\表.b\\版.res"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, ResFileName(c.first)) << c.first;
    }
}

TEST(VersionInfoCodes, FollowTheEnumerationOrder) {
    EXPECT_EQ(0x0401, LanguageCode(lanArabic));
    EXPECT_EQ(0x0411, LanguageCode(lanJapanese));
    EXPECT_EQ(0x0421, LanguageCode(lanBahasa));
    EXPECT_EQ(0x0804, LanguageCode(lanSimplified_Chinese));
    EXPECT_EQ(0x0809, LanguageCode(lanUK_English));
    EXPECT_EQ(0x100C, LanguageCode(lanSwiss_French));
    EXPECT_EQ(0x0000, LanguageCode(lanIgnorre));
    EXPECT_EQ(45, lanIgnorre);
    EXPECT_EQ(0, CharsetCode(cs7bit_ASCII));
    EXPECT_EQ(932, CharsetCode(csJapan_JIS_X_0208));
    EXPECT_EQ(1200, CharsetCode(csUnicode));
    EXPECT_EQ(1252, CharsetCode(csMultilingual));
    EXPECT_EQ(1256, CharsetCode(csArabic));
    EXPECT_EQ(11, csArabic);
    EXPECT_EQ(1, ftLibrary);
    EXPECT_STREQ("Comments", KeyName(vkComments));
    EXPECT_STREQ("ProductVersion", KeyName(vkProductVersion));
}

TEST(VersionInfoCodes, RejectOutOfRangeInput) {
    TVersionInfo info;
    EXPECT_THROW(info.SetValue(12, "x"), Exception);
    EXPECT_THROW(info.SetValue(-1, "x"), Exception);
    EXPECT_THROW(KeyName(12), Exception);
    info.Language = static_cast<TLanguage>(46);
    EXPECT_THROW(info.Image(), Exception);
    info.Language = lanJapanese;
    info.Charset = static_cast<TCharset>(12);
    EXPECT_THROW(info.Image(), Exception);
}

TEST(WriteResFile, WritesTheWholeImageOnceAndPutsItInPlace) {
    FakeFileSystem fs;
    fs.AddFile("Version.res", "\1\2\3");
    TVersionInfo info;
    info.SetValue(vkProductName, "Quendro");
    info.WriteResFile("Version.txt", fs);
    EXPECT_EQ(1u, fs.createdFiles.size());
    ASSERT_EQ(1u, fs.FileCount());
    EXPECT_EQ(info.Image(), fs.Bytes("Version.res"));
}

TEST(WriteResFile, FailureLeavesThePreviousFileAndNoTemporary) {
    const std::vector<unsigned char> previous = {1, 2, 3};
    for (int failure = 0; failure < 3; ++failure) {
        SCOPED_TRACE(failure);
        FakeFileSystem fs;
        fs.refuseCreate = failure == 0;
        if (failure == 1) fs.tearing.insert("Version.res.tmp");  // a disk that fills up half-way
        if (failure == 2) fs.unreplaceable.insert("Version.res");
        fs.AddFile("Version.res", std::string(previous.begin(), previous.end()));
        TVersionInfo info;
        info.SetValue(vkProductName, "Quendro");
        try {
            info.WriteResFile("Version", fs);
            ADD_FAILURE() << "no error raised";
        } catch (const Exception& e) {
            EXPECT_EQ("Error writing file", e.Message());
        }
        ASSERT_EQ(1u, fs.FileCount());
        EXPECT_EQ(previous, fs.Bytes("Version.res"));
    }
}

TEST(WriteResFile, ReplacesAnExistingFileOnDisk) {
    ScratchFolder folder;
    WriteWholeFile(folder.Path("Version.res"), std::vector<std::uint8_t>(10000, 0xEE));
    TVersionInfo info;
    info.SetValue(vkComments, "after");
    info.WriteResFile(folder.Path("Version"));
    EXPECT_EQ(std::vector<std::string>{"Version.res"}, folder.Names());
    EXPECT_EQ(info.Image(), ReadWholeFile(folder.Path("Version.res")));
}

TEST(WriteResFile, TargetThatCannotBeReplacedOnDiskStaysAndTemporaryGoes) {
    ScratchFolder folder;
    // A folder in the target's place: the file is written but cannot be moved there.
    std::filesystem::create_directory(folder.Path("Version.res"));
    std::filesystem::create_directory(folder.Path("Version.res/inside"));
    TVersionInfo info;
    EXPECT_THROW(info.WriteResFile(folder.Path("Version.res")), Exception);
    EXPECT_EQ(std::vector<std::string>{"Version.res"}, folder.Names());
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path("Version.res")));
}

}  // namespace
