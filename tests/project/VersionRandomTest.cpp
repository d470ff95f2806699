// Seeded random images, read back with the tests' own reader.
#include "VersionReader.h"
#include "project/VersionInfo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iconv.h>
#include <random>
#include <string>
#include <vector>

namespace {

struct AnsiChar {
    std::string bytes;
    char16_t unit;
};

// Every character of code page 932 that glibc converts: ASCII, half-width
// katakana and the assigned double-byte codes.
std::vector<AnsiChar> CodePage932Characters() {
    std::vector<std::string> candidates;
    for (int c = 0x20; c <= 0x7E; ++c) {
        candidates.push_back(std::string(1, static_cast<char>(c)));
    }
    for (int c = 0xA1; c <= 0xDF; ++c) {
        candidates.push_back(std::string(1, static_cast<char>(c)));
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead < 0xE0) {
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail != 0x7F) {
                candidates.push_back({static_cast<char>(lead), static_cast<char>(trail)});
            }
        }
    }
    std::vector<AnsiChar> result;
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    for (const std::string& candidate : candidates) {
        char* in = const_cast<char*>(candidate.data());
        std::size_t inLeft = candidate.size();
        unsigned char out[8];
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) && sizeof out - outLeft == 2) {
            result.push_back({candidate, static_cast<char16_t>(out[0] | out[1] << 8)});
        }
    }
    iconv_close(cd);
    return result;
}

TEST(VersionRandom, EveryImageReadsBackAsSet) {
    const std::vector<AnsiChar> chars = CodePage932Characters();
    ASSERT_GT(chars.size(), 7000u);
    std::mt19937 random(20011228);
    auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        TVersionInfo info;
        info.Language = static_cast<TLanguage>(below(kLanguageCount));
        info.Charset = static_cast<TCharset>(below(kCharsetCount));
        info.FileType = static_cast<TFileType>(below(kFileTypeCount));
        const int flagBits = below(64);
        for (int flag = ffDebug; flag <= ffSpecialBuild; ++flag) {
            if (flagBits & (1 << flag)) {
                info.Flags.Include(static_cast<TFileFlag>(flag));
            }
        }

        std::vector<std::pair<std::string, std::u16string>> expected;
        for (int index = 0; index < kVersionValueCount; ++index) {
            if (below(2) == 0) {
                continue;
            }
            const int length = below(10) == 0 ? 240 + below(60) : 1 + below(40);
            std::string text;
            std::u16string units;
            for (int i = 0; i < length; ++i) {
                const AnsiChar& c = chars[static_cast<std::size_t>(below(static_cast<int>(chars.size())))];
                text += c.bytes;
                units.push_back(c.unit);
            }
            if (index == 3 || index == 11) {
                // Version texts: mostly digits and points, so that they read.
                static const char kVersionChars[] = "0123456789012345678901234567890123456789....v -";
                text.clear();
                units.clear();
                for (int i = 0; i < length % 24 + 1; ++i) {
                    const char c = kVersionChars[below(sizeof kVersionChars - 1)];
                    text.push_back(c);
                    units.push_back(static_cast<char16_t>(c));
                }
            }
            info.SetValue(index, text);
            if (units.size() > kMaxValueUnits) {
                units.resize(kMaxValueUnits);
            }
            expected.emplace_back(KeyName(index), units);
        }

        const std::vector<unsigned char> image = info.Image();
        ASSERT_LE(image.size(), kMaxResImageSize);
        ReadVersion read;
        ASSERT_NO_THROW(read = ReadResFile(image));
        const TVersionNumbers fileVersion = ParseVersionNumbers(info.Value(vkFileVersion));
        const TVersionNumbers productVersion = ParseVersionNumbers(info.Value(vkProductVersion));
        EXPECT_EQ(fileVersion.High, read.fileVersionHigh);
        EXPECT_EQ(fileVersion.Low, read.fileVersionLow);
        EXPECT_EQ(productVersion.High, read.productVersionHigh);
        EXPECT_EQ(productVersion.Low, read.productVersionLow);
        EXPECT_EQ(static_cast<std::uint32_t>(flagBits), read.flags);
        EXPECT_EQ(read.flags, read.flagsMask);
        EXPECT_EQ(0x00040004u, read.fileOs);
        EXPECT_EQ(info.FileType == ftLibrary ? 2u : 1u, read.fileType);
        EXPECT_EQ(LanguageCode(info.Language), read.language);
        EXPECT_EQ(CharsetCode(info.Charset), read.codePage);
        char key[9];
        std::snprintf(key, sizeof key, "%04X%04X", read.language, read.codePage);
        EXPECT_EQ(key, read.tableKey);
        ASSERT_EQ(expected, read.strings);
    }
}

}  // namespace
