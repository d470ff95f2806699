#include "project/AnsiText.h"

#include "system/Exception.h"

#include <climits>
#include <vector>
#include <windows.h>

std::u16string AnsiToUtf16(const std::string& text) {
    if (text.empty()) {
        return std::u16string();
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX / 2)) {
        throw Exception("Text too long to convert");
    }
    const int length = static_cast<int>(text.size());
    // One UTF-16 unit per character, and a character is at least one byte.
    std::vector<WCHAR> out(text.size());
    const int produced = MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), length);
    if (produced <= 0) {
        throw Exception("Text cannot be converted to UTF-16");
    }
    return std::u16string(reinterpret_cast<const char16_t*>(out.data()), static_cast<std::size_t>(produced));
}

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }
