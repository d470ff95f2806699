#include "system/Win32Clock.h"

#include <windows.h>

namespace {

std::string LocaleText(LCTYPE type, const char* fallback) {
    char buf[8];  // separators are at most four characters
    const int got = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
    return got > 1 ? std::string(buf, got - 1) : std::string(fallback);
}

}  // namespace

Win32Clock::Win32Clock()
    : dateSeparator_(LocaleText(LOCALE_SDATE, "/")), timeSeparator_(LocaleText(LOCALE_STIME, ":")) {}

LocalDateTime Win32Clock::Now() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    LocalDateTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    return t;
}
