#include "system/Text.h"

#include <cstring>

bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::size_t LastSeparator(const std::string& path, const char* separators) {
    std::size_t found = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;  // a lead byte as the last byte stands alone
        } else if (path[i] != '\0' && std::strchr(separators, path[i])) {
            found = i;
        }
    }
    return found;
}

std::string FolderOf(const std::string& path) {
    const std::size_t at = LastSeparator(path, "\\/:");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

namespace {

char LowerAsciiByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string LowerAscii(std::string text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else {
            text[i] = LowerAsciiByte(text[i]);
        }
    }
    return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(a[i]))) {
            // Both bytes of a double-byte character compare as they are.
            if (a.substr(i, 2) != b.substr(i, 2)) return false;
            ++i;
        } else if (LowerAsciiByte(a[i]) != LowerAsciiByte(b[i])) {
            return false;
        }
    }
    return true;
}

std::string DecimalText(long long value, std::size_t width) {
    char digits[24];  // a sign and the 19 digits of the longest value
    std::string text(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    if (text.size() < width) text.insert(value < 0 ? 1 : 0, width - text.size(), '0');
    return text;
}
