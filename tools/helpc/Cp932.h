#pragma once
// UTF-8 <-> code page 932 for the help compiler: the sources are UTF-8, the
// help file carries code page 932 bytes (the viewer shows them with the
// Shift-JIS character set).
#include <string>

namespace helpc {

enum class Conversion { Ok, NotUtf8, Not932 };

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& text);

// NotUtf8 when text is not UTF-8, Not932 when it holds a character that
// code page 932 lacks; out is then unspecified.
Conversion Utf8ToCp932(const std::string& text, std::string& out);

// For readers and messages; bytes that do not decode become U+FFFD.
std::string Cp932ToUtf8(const std::string& text);

}  // namespace helpc
