// Byte-exact checks of the written .res files, one table of cases.
#include "TestFiles.h"
#include "project/VersionInfo.h"
#include "system/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

// The whole file with every value empty and the defaults (UK English,
// Western European code page, program), laid out by hand from the format.
const char* const kEmptyImageHex =
    "0000000020000000FFFF0000FFFF000000000000000000000000000000000000"
    "DC00000020000000FFFF1000FFFF010000000000300000000000000000000000"
    "DC0034000000560053005F00560045005200530049004F004E005F0049004E00"
    "46004F0000000000BD04EFFE0000010000000000000000000000000000000000"
    "000000000000000004000400010000000000000000000000000000003C000000"
    "000053007400720069006E006700460069006C00650049006E0066006F000000"
    "1800000000003000380030003900300034004500340000004400000000005600"
    "61007200460069006C00650049006E0066006F00000000002400040000005400"
    "720061006E0073006C006100740069006F006E00000000000908E404";

constexpr std::size_t kStringBlocksOffset = 216;
constexpr std::size_t kVarFileInfoSize = 68;

std::vector<std::uint8_t> FromHex(const char* hex) {
    std::vector<std::uint8_t> bytes;
    for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    }
    return bytes;
}

std::uint16_t WordAt(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

void PutWord(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t value) {
    b.at(at) = static_cast<std::uint8_t>(value);
    b.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutDword(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value) {
    PutWord(b, at, static_cast<std::uint16_t>(value));
    PutWord(b, at + 2, static_cast<std::uint16_t>(value >> 16));
}

struct ExpectedBlock {
    const char* key;
    std::u16string value;
    std::uint16_t valueLength;
    std::uint16_t totalLength;
};

struct ImageCase {
    const char* name;
    std::function<void(TVersionInfo&)> setup;
    std::size_t fileSize;
    std::uint16_t versionLength;
    const char* tableKey;
    std::uint16_t language;
    std::uint16_t codePage;
    std::uint32_t fileVersionHigh, fileVersionLow;
    std::uint32_t productVersionHigh, productVersionLow;
    std::uint32_t flags;
    std::uint32_t fileType;
    std::vector<ExpectedBlock> blocks;
    const char* writeAs = "Version.res";
    const char* expectedFile = "Version.res";
    bool writeFails = false;
};

std::ostream& operator<<(std::ostream& out, const ImageCase& c) { return out << c.name; }

const std::string kJapaneseComment = "表示ソフト作者 http://www.quendro.example.jp/index.htm";
const std::u16string kJapaneseCommentUtf16 = u"表示ソフト作者 http://www.quendro.example.jp/index.htm";

void MainWindowValues(TVersionInfo& v) {
    v.Language = lanJapanese;
    v.Charset = csMultilingual;
    v.FileType = ftProgram;
    v.SetValue(vkComments, kJapaneseComment);
    v.SetValue(vkCompanyName, "Quendro Soft");
    v.SetValue(vkLegalCopyright, "Copyright (C) 2001 Quendro Soft");
    v.SetValue(vkFileDescription, "Quendro 実行ファイル");
    v.SetValue(vkProductName, "Quendro");
    v.SetValue(vkProductVersion, "1.00");
    v.SetValue(vkOriginalFilename, "QUENDRO.EXE");
    v.SetValue(vkInternalName, "QUENDRO");
    v.SetValue(vkFileVersion, "1.00.4");
}

std::vector<ImageCase> Cases() {
    std::vector<ImageCase> cases;
    const std::string longAscii(300, 'x');
    std::string longJapanese;
    for (int i = 0; i < 300; ++i) {
        longJapanese += "あ";
    }

    cases.push_back({"AllEmpty", [](TVersionInfo&) {}, 284, 220, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0, 1, {}});

    cases.push_back({"ResetRestoresDefaults",
                     [](TVersionInfo& v) {
                         MainWindowValues(v);
                         v.FileType = ftLibrary;
                         v.Flags.Include(ffDebug);
                         v.Reset();
                     },
                     284, 220, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0, 1, {}});

    cases.push_back({"MainWindowValues", MainWindowValues, 912, 848, "041104E4", 0x0411, 0x04E4,
                     0x00010000, 0x00040000, 0x00010000, 0, 0, 1,
                     {{"Comments", kJapaneseCommentUtf16, 48, 124},
                      {"CompanyName", u"Quendro Soft", 13, 60},
                      {"FileDescription", u"Quendro 実行ファイル", 15, 72},
                      {"FileVersion", u"1.00.4", 7, 48},
                      {"InternalName", u"QUENDRO", 8, 52},
                      {"LegalCopyright", u"Copyright (C) 2001 Quendro Soft", 32, 104},
                      {"OriginalFilename", u"QUENDRO.EXE", 12, 68},
                      {"ProductName", u"Quendro", 8, 52},
                      {"ProductVersion", u"1.00", 5, 48}}});

    cases.push_back({"WorkedStringBlockExamples",
                     [](TVersionInfo& v) {
                         v.SetValue(vkProductVersion, "1.00");
                         v.SetValue(vkInternalName, "QUENDRO1");
                         v.SetValue(vkFileVersion, "1.00.4");
                         v.SetValue(vkCompanyName, "Quendro Soft");
                         v.SetValue(vkComments, "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJK");
                     },
                     616, 552, "080904E4", 0x0809, 1252, 0x00010000, 0x00040000, 0x00010000, 0, 0, 1,
                     {{"Comments", u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJK", 48, 124},
                      {"CompanyName", u"Quendro Soft", 13, 60},
                      {"FileVersion", u"1.00.4", 7, 48},
                      {"InternalName", u"QUENDRO1", 9, 52},
                      {"ProductVersion", u"1.00", 5, 48}}});

    // 47 characters, 7 of them double-byte (54 bytes), two with a 0x5C trail
    // byte; and half-width katakana, one byte and one code unit each.
    cases.push_back({"JapaneseCountsCodeUnits",
                     [](TVersionInfo& v) {
                         v.SetValue(vkComments, kJapaneseComment);
                         v.SetValue(vkCompanyName, "ｸｴﾝﾄﾞﾛ ｿﾌﾄ");
                     },
                     464, 400, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0, 1,
                     {{"Comments", kJapaneseCommentUtf16, 48, 124}, {"CompanyName", u"ｸｴﾝﾄﾞﾛ ｿﾌﾄ", 11, 56}}});

    cases.push_back({"ProjectFlagsWithLibrary",
                     [](TVersionInfo& v) {
                         v.Flags.Include(ffPreRelease).Include(ffPrivateBuild).Include(ffSpecialBuild);
                         v.FileType = ftLibrary;
                     },
                     284, 220, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0x2A, 2, {}});

    cases.push_back({"OtherFlags",
                     [](TVersionInfo& v) { v.Flags.Include(ffDebug).Include(ffPatched).Include(ffInfoInferred); },
                     284, 220, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0x15, 1, {}});

    cases.push_back({"NeutralLanguageAndAscii",
                     [](TVersionInfo& v) {
                         v.Language = lanIgnorre;
                         v.Charset = cs7bit_ASCII;
                     },
                     284, 220, "00000000", 0, 0, 0, 0, 0, 0, 0, 1, {}});

    cases.push_back({"LongValuesCutTo254Units",
                     [longAscii, longJapanese](TVersionInfo& v) {
                         v.SetValue(vkFileDescription, longAscii);
                         v.SetValue(vkLegalTrademarks, longJapanese);
                         v.Language = lanSwiss_French;
                         v.Charset = csArabic;
                     },
                     1388, 1324, "100C04E8", 0x100C, 1256, 0, 0, 0, 0, 0, 1,
                     {{"FileDescription", std::u16string(254, u'x'), 255, 552},
                      {"LegalTrademarks", std::u16string(254, u'あ'), 255, 552}}});

    {
        ImageCase all{"AllTwelveAtTheLimit",
                      [longAscii](TVersionInfo& v) {
                          for (int i = 0; i < kVersionValueCount; ++i) {
                              v.SetValue(i, longAscii);
                          }
                      },
                      6836, 6772, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0, 1, {}};
        const std::uint16_t lengths[] = {536, 544, 552, 544, 544, 548, 552, 552, 544, 544, 544, 548};
        for (int i = 0; i < kVersionValueCount; ++i) {
            all.blocks.push_back({KeyName(i), std::u16string(254, u'x'), 255, lengths[i]});
        }
        cases.push_back(all);
    }

    cases.push_back({"ExtensionReplaced", [](TVersionInfo&) {}, 284, 220, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0,
                     1, {}, "Version.txt", "Version.res"});
    cases.push_back({"ExtensionAppended", [](TVersionInfo&) {}, 284, 220, "080904E4", 0x0809, 1252, 0, 0, 0, 0, 0,
                     1, {}, "Version", "Version.res"});
    cases.push_back({"FileCannotBeCreated", [](TVersionInfo&) {}, 284, 220, "080904E4", 0x0809, 1252, 0, 0, 0, 0,
                     0, 1, {}, "no-such-folder/Version", nullptr, true});
    return cases;
}

class VersionImage : public testing::TestWithParam<ImageCase> {};

void CheckBlock(const std::vector<std::uint8_t>& image, std::size_t start, const ExpectedBlock& block) {
    SCOPED_TRACE(block.key);
    ASSERT_EQ(block.valueLength, block.value.size() + 1) << "test data";
    ASSERT_LE(start + block.totalLength, image.size());
    EXPECT_EQ(block.totalLength, WordAt(image, start));
    EXPECT_EQ(block.valueLength, WordAt(image, start + 2));
    EXPECT_EQ(1, WordAt(image, start + 4));

    std::size_t at = start + 6;
    for (const char* k = block.key; *k != '\0'; ++k, at += 2) {
        ASSERT_EQ(static_cast<std::uint16_t>(*k), WordAt(image, at));
    }
    // The value begins at the first 4-byte boundary after the key's zero word.
    const std::size_t valueAt = (at + 2 + 3) / 4 * 4;
    for (; at < valueAt; at += 2) {
        EXPECT_EQ(0, WordAt(image, at)) << "key padding at " << at;
    }
    for (char16_t unit : block.value) {
        ASSERT_EQ(static_cast<std::uint16_t>(unit), WordAt(image, at)) << "value at " << at;
        at += 2;
    }
    for (; at < start + block.totalLength; at += 2) {
        EXPECT_EQ(0, WordAt(image, at)) << "value terminator and padding at " << at;
    }
}

TEST_P(VersionImage, WritesTheExactFile) {
    const ImageCase& c = GetParam();
    ScratchFolder folder;
    TVersionInfo info;
    c.setup(info);

    if (c.writeFails) {
        try {
            info.WriteResFile(folder.Path(c.writeAs));
            FAIL() << "no error raised";
        } catch (const Exception& e) {
            EXPECT_EQ("Error writing file", e.Message());
        }
        EXPECT_TRUE(folder.Names().empty());
        return;
    }

    info.WriteResFile(folder.Path(c.writeAs));
    EXPECT_EQ(std::vector<std::string>{c.expectedFile}, folder.Names());
    const std::vector<std::uint8_t> image = ReadWholeFile(folder.Path(c.expectedFile));
    EXPECT_EQ(image, info.Image());
    ASSERT_EQ(c.fileSize, image.size());

    std::size_t blockTotal = 0;
    for (const ExpectedBlock& block : c.blocks) {
        blockTotal += block.totalLength;
    }
    ASSERT_EQ(c.versionLength, 220 + blockTotal) << "test data";
    ASSERT_EQ(c.fileSize, 64u + c.versionLength) << "test data";

    const std::vector<std::uint8_t> empty = FromHex(kEmptyImageHex);
    std::vector<std::uint8_t> head(empty.begin(), empty.begin() + kStringBlocksOffset);
    PutDword(head, 32, c.versionLength);
    PutWord(head, 64, c.versionLength);
    PutDword(head, 112, c.fileVersionHigh);
    PutDword(head, 116, c.fileVersionLow);
    PutDword(head, 120, c.productVersionHigh);
    PutDword(head, 124, c.productVersionLow);
    PutDword(head, 128, c.flags);
    PutDword(head, 132, c.flags);
    PutDword(head, 140, c.fileType);
    PutWord(head, 156, static_cast<std::uint16_t>(60 + blockTotal));
    PutWord(head, 192, static_cast<std::uint16_t>(24 + blockTotal));
    for (int i = 0; i < 8; ++i) {
        PutWord(head, 198 + 2 * static_cast<std::size_t>(i), static_cast<std::uint16_t>(c.tableKey[i]));
    }
    EXPECT_EQ(head, std::vector<std::uint8_t>(image.begin(), image.begin() + kStringBlocksOffset));

    std::size_t at = kStringBlocksOffset;
    for (const ExpectedBlock& block : c.blocks) {
        CheckBlock(image, at, block);
        at += block.totalLength;
    }

    std::vector<std::uint8_t> tail(empty.end() - kVarFileInfoSize, empty.end());
    PutWord(tail, kVarFileInfoSize - 4, c.language);
    PutWord(tail, kVarFileInfoSize - 2, c.codePage);
    ASSERT_EQ(at + kVarFileInfoSize, image.size());
    EXPECT_EQ(tail, std::vector<std::uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(at), image.end()));
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionImage, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

}  // namespace
