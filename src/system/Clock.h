#pragma once
// Local time and the user's date and time separators, as a seam: Win32Clock
// in the product, fixed or virtual clocks in the tests.
#include <string>

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class ILogClock {
public:
    virtual ~ILogClock() = default;
    virtual LocalDateTime Now() = 0;
    virtual std::string DateSeparator() = 0;
    virtual std::string TimeSeparator() = 0;
};
