#pragma once
// The run's events in the Application event log of the machine, under the
// source the installers register.
#include "run/Run.h"

class Win32RunEvents : public IRunEvents {
public:
    void Report(RunEventType type, const std::string& text) override;
};
