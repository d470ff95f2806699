#pragma once
// Paths in code page 932, the ANSI code page of the target system. The trail
// byte of a double-byte character may be 0x5C, the backslash ("ソ" is 83 5C),
// so a path is read character by character, never byte by byte.
#include <cstddef>
#include <string>

// True when the byte starts a double-byte character of code page 932.
bool IsCp932LeadByte(unsigned char byte);

// Byte offset of the last of the separators (by default backslash and colon),
// read by character; npos if none.
std::size_t LastSeparator(const std::string& path, const char* separators = "\\:");

// The path up to and including its last separator, a forward slash counting
// too as the file calls take either; empty when it has none.
std::string FolderOf(const std::string& path);
