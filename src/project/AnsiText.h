#pragma once
// Text in the system's ANSI code page (932 on the target) and its UTF-16 form.
//
// On Windows this is MultiByteToWideChar(CP_ACP), which maps every byte
// sequence to something. The native build (used only for tests) converts with
// glibc's iconv "CP932", which agrees with Windows on every sequence it accepts
// but refuses about 1,900 that Windows maps anyway: 0x80 (U+0080), 0xA0,
// 0xFD to 0xFF (U+F8F0 to U+F8F3) and the unassigned double-byte codes
// (U+30FB). Natively those raise an error instead; native tests keep to valid
// code page 932 text.
#include <string>

std::u16string AnsiToUtf16(const std::string& text);

// True when the byte starts a double-byte character of the ANSI code page.
bool IsAnsiLeadByte(unsigned char byte);
