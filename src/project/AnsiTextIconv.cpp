#include "project/AnsiText.h"

#include "system/Exception.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace {

class Converter {
public:
    Converter() : cd_(iconv_open("UTF-16LE", "CP932")) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw Exception("Code page 932 conversion is not available");
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t Handle() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::u16string AnsiToUtf16(const std::string& text) {
    if (text.empty()) {
        return std::u16string();
    }
    Converter converter;
    // Every code page 932 character is one or two bytes and one UTF-16 unit,
    // so two output bytes per input byte always suffice.
    std::vector<char> out(text.size() * 2);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(converter.Handle(), &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
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
