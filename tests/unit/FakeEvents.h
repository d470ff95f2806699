#pragma once
// Records the run's events instead of writing them to the event log.
#include <string>
#include <utility>
#include <vector>

#include "run/Run.h"

class FakeEvents : public IRunEvents {
public:
    std::vector<std::pair<RunEventType, std::string>> reported;
    void Report(RunEventType type, const std::string& text) override { reported.emplace_back(type, text); }
};
