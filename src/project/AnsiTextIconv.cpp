#include "project/AnsiText.h"

#include "system/Exception.h"
#include "system/Scoped.h"

#include <cerrno>
#include <vector>

std::u16string AnsiToUtf16(const std::string& text) {
    if (text.empty()) {
        return std::u16string();
    }
    ScopedIconv converter(iconv_open("UTF-16LE", "CP932"));
    if (!converter.IsValid()) {
        throw Exception("Code page 932 conversion is not available");
    }
    // Every code page 932 character is one or two bytes and one UTF-16 unit,
    // so two output bytes per input byte always suffice.
    std::vector<char> out(text.size() * 2);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(converter.Get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        throw Exception("Text is not valid code page 932 at byte " +
                        std::to_string(text.size() - inLeft));
    }
    const std::size_t produced = out.size() - outLeft;
    std::u16string result;
    result.reserve(produced / 2);
    for (std::size_t i = 0; i + 1 < produced; i += 2) {
        result.push_back(static_cast<char16_t>(static_cast<unsigned char>(out[i]) |
                                               (static_cast<unsigned char>(out[i + 1]) << 8)));
    }
    return result;
}

bool IsAnsiLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
