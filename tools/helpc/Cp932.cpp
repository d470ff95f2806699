#include "Cp932.h"

#include <cerrno>
#include <stdexcept>

#include "system/Scoped.h"

namespace helpc {

namespace {

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (!cd_.IsValid())
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }

    // Converts as much as it can; at a sequence it cannot convert it stops
    // and returns false with in/left pointing there.
    bool Run(const char*& in, std::size_t& left, std::string& out) {
        char buf[256];
        while (left > 0) {
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buf;
            std::size_t outLeft = sizeof buf;
            const std::size_t r = iconv(cd_.Get(), &inPtr, &left, &outPtr, &outLeft);
            const int error = errno;
            in = inPtr;
            out.append(buf, static_cast<std::size_t>(outPtr - buf));
            if (r == static_cast<std::size_t>(-1) && error != E2BIG) return false;
        }
        return true;
    }

private:
    ScopedIconv cd_;
};

}  // namespace

bool IsUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned c = *p;
        int extra;
        unsigned min;
        unsigned code;
        if (c < 0x80) {
            ++p;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        p += extra + 1;
    }
    return true;
}

Conversion Utf8ToCp932(const std::string& text, std::string& out) {
    out.clear();
    if (!IsUtf8(text)) return Conversion::NotUtf8;
    Iconv conv("CP932", "UTF-8");
    const char* in = text.data();
    std::size_t left = text.size();
    return conv.Run(in, left, out) ? Conversion::Ok : Conversion::Not932;
}

std::string Cp932ToUtf8(const std::string& text) {
    Iconv conv("UTF-8", "CP932");
    std::string out;
    const char* in = text.data();
    std::size_t left = text.size();
    while (!conv.Run(in, left, out)) {
        out += "\xEF\xBF\xBD";
        // Skip a whole double-byte pair when the lead byte announces one.
        const auto lead = static_cast<unsigned char>(*in);
        const std::size_t skip = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) && left >= 2 ? 2 : 1;
        in += skip;
        left -= skip;
    }
    return out;
}

}  // namespace helpc
