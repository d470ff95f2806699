// ParseVersionNumbers and the version resource image on any texts and
// enumeration values; every image is read back by the tests' reader.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "VersionReader.h"
#include "project/AnsiText.h"
#include "project/VersionInfo.h"
#include "system/Exception.h"

namespace {

// The key names, language identifiers and code pages written out again, not
// taken from the writer's own tables: a wrong entry there must show.
const char* const kKeys[] = {
    "Comments",        "CompanyName",      "FileDescription", "FileVersion",
    "InternalName",    "LegalCopyright",   "LegalTrademarks", "OriginalFilename",
    "ProductName",     "PrivateBuild",     "SpecialBuild",    "ProductVersion",
};
const std::uint16_t kLanguages[] = {
    0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B, 0x040C,
    0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418,
    0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0804, 0x0807, 0x0809,
    0x080A, 0x080C, 0x0810, 0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C, 0x0000,
};
const std::uint16_t kCodePages[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};
static_assert(std::size(kKeys) == kVersionValueCount, "one name per key");
static_assert(std::size(kLanguages) == kLanguageCount, "one code per language");
static_assert(std::size(kCodePages) == kCharsetCount, "one code page per character set");

// Splits at the points of the digits-and-points text; a part that is empty or
// past 2^31 - 1 ends the reading, and each part keeps its low 16 bits.
TVersionNumbers ReferenceNumbers(const std::string& text) {
    std::string kept;
    for (char c : text) {
        if ((c >= '0' && c <= '9') || c == '.') kept += c;
    }
    std::uint32_t parts[4] = {0, 0, 0, 0};
    std::size_t begin = 0;
    for (std::uint32_t& part : parts) {
        std::size_t end = kept.find('.', begin);
        if (end == std::string::npos) end = kept.size();
        std::string digits = kept.substr(begin, end - begin);
        if (digits.empty()) break;
        digits.erase(0, digits.find_first_not_of('0'));
        if (digits.size() > 10 || (digits.size() == 10 && digits > "2147483647")) break;
        part = digits.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(digits)) & 0xFFFF;
        if (end == kept.size()) break;
        begin = end + 1;
    }
    return {parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]};
}

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    TVersionInfo info;
    const std::uint8_t fileType = input.ConsumeIntegral<std::uint8_t>();
    const std::uint8_t language = input.ConsumeIntegral<std::uint8_t>();
    const std::uint8_t charset = input.ConsumeIntegral<std::uint8_t>();
    const std::uint8_t flags = input.ConsumeIntegral<std::uint8_t>() & 0x3F;
    info.FileType = static_cast<TFileType>(fileType);
    info.Language = static_cast<TLanguage>(language);
    info.Charset = static_cast<TCharset>(charset);
    for (int flag = ffDebug; flag <= ffSpecialBuild; ++flag) {
        if (flags >> flag & 1) info.Flags.Include(static_cast<TFileFlag>(flag));
    }

    bool refused = fileType >= kFileTypeCount || language >= kLanguageCount || charset >= kCharsetCount;
    std::vector<std::pair<std::string, std::u16string>> strings;
    for (int index = 0; index < kVersionValueCount; ++index) {
        const std::string text = input.ConsumeRandomLengthString(600);
        info.SetValue(index, text);
        const TVersionNumbers numbers = ParseVersionNumbers(text);
        const TVersionNumbers reference = ReferenceNumbers(text);
        FUZZ_CHECK(numbers.High == reference.High && numbers.Low == reference.Low);
        if (text.empty()) continue;
        try {
            std::u16string units = AnsiToUtf16(text);
            if (units.size() > kMaxValueUnits) units.resize(kMaxValueUnits);
            strings.emplace_back(kKeys[index], units);
        } catch (const Exception&) {
            refused = true;  // natively, text outside code page 932
        }
    }

    std::vector<unsigned char> image;
    try {
        image = info.Image();
    } catch (const Exception& error) {
        if (!refused) std::fprintf(stderr, "unexpected error: %s\n", error.Message().c_str());
        FUZZ_CHECK(refused);
        return 0;
    }
    FUZZ_CHECK(!refused);
    FUZZ_CHECK(image.size() <= kMaxResImageSize);

    ReadVersion read;
    try {
        read = ReadResFile(image);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "image not readable: %s\n", error.what());
        FUZZ_CHECK(false);
    }
    const TVersionNumbers file = ParseVersionNumbers(info.Value(vkFileVersion));
    const TVersionNumbers product = ParseVersionNumbers(info.Value(vkProductVersion));
    FUZZ_CHECK(read.fileVersionHigh == file.High && read.fileVersionLow == file.Low);
    FUZZ_CHECK(read.productVersionHigh == product.High && read.productVersionLow == product.Low);
    FUZZ_CHECK(read.flagsMask == flags && read.flags == flags);
    FUZZ_CHECK(read.fileOs == 0x00040004);
    FUZZ_CHECK(read.fileType == (fileType == ftLibrary ? 2u : 1u));
    FUZZ_CHECK(read.language == kLanguages[language] && read.codePage == kCodePages[charset]);
    FUZZ_CHECK(read.tableKey == Hex4(read.language) + Hex4(read.codePage));
    FUZZ_CHECK(read.strings == strings);
    return 0;
}
