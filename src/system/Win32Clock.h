#pragma once
// Local time and the user's date and time separators, read once.
#include "system/Clock.h"

class Win32Clock : public ILogClock {
public:
    Win32Clock();
    LocalDateTime Now() override;
    std::string DateSeparator() override { return dateSeparator_; }
    std::string TimeSeparator() override { return timeSeparator_; }

private:
    std::string dateSeparator_;
    std::string timeSeparator_;
};
