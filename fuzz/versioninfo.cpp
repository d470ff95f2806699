// ParseVersionNumbers and the version resource image on any texts and
// enumeration values; every image is read back by the tests' reader.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
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
            strings.emplace_back(KeyName(index), units);
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
    const TVersionNumbers file = ParseVersionNumbers(info.Value(3));      // FileVersion
    const TVersionNumbers product = ParseVersionNumbers(info.Value(11));  // ProductVersion
    FUZZ_CHECK(read.fileVersionHigh == file.High && read.fileVersionLow == file.Low);
    FUZZ_CHECK(read.productVersionHigh == product.High && read.productVersionLow == product.Low);
    FUZZ_CHECK(read.flagsMask == flags && read.flags == flags);
    FUZZ_CHECK(read.fileOs == 0x00040004);
    FUZZ_CHECK(read.fileType == (fileType == ftLibrary ? 2u : 1u));
    FUZZ_CHECK(read.language == LanguageCode(info.Language) && read.codePage == CharsetCode(info.Charset));
    FUZZ_CHECK(read.tableKey == Hex4(read.language) + Hex4(read.codePage));
    FUZZ_CHECK(read.strings == strings);
    return 0;
}
