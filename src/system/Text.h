#pragma once
// Text in code page 932, the ANSI code page of the target system. The trail
// byte of a double-byte character may be 0x5C, the backslash ("ソ" is 83 5C),
// or an ASCII letter ("ア" is 83 41), so text is read character by character,
// never byte by byte. Numbers are read and written without any locale.
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

// True when the byte starts a double-byte character of code page 932.
bool IsCp932LeadByte(unsigned char byte);

// Byte offset of the last of the separators (by default backslash and colon),
// read by character; npos if none.
std::size_t LastSeparator(const std::string& path, const char* separators = "\\:");

// The path up to and including its last separator, a forward slash counting
// too as the file calls take either; empty when it has none.
std::string FolderOf(const std::string& path);

// A to Z become a to z; the bytes of double-byte characters are left alone.
std::string LowerAscii(std::string text);
// Equal once both are lowered by LowerAscii.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// The decimal number at the start of `text`: an optional '-' (for signed
// types) and every digit after it. Returns the bytes it spans, 0 when no
// number starts there. `value` is set only when the number fits its type;
// `outOfRange` says it did not.
template <typename Int>
std::size_t ReadDecimalPrefix(std::string_view text, Int& value, bool& outOfRange) {
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), value);
    outOfRange = read.ec == std::errc::result_out_of_range;
    return read.ec == std::errc::invalid_argument ? 0 : static_cast<std::size_t>(read.ptr - text.data());
}

// The whole text as such a number; false, `value` untouched, when it is not
// one or does not fit.
template <typename Int>
bool ReadDecimal(std::string_view text, Int& value) {
    bool outOfRange = false;
    Int read{};
    if (text.empty() || ReadDecimalPrefix(text, read, outOfRange) != text.size() || outOfRange) return false;
    value = read;
    return true;
}

// `value` in decimal, with zeros after the sign up to `width` characters in
// all (printf's "%0*d").
std::string DecimalText(long long value, std::size_t width = 0);
