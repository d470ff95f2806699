#pragma once
// A clock that stands still at 2001-10-28 03:00:00 with the Japanese
// separators, and a reader for the block one run saved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeFileSystem.h"
#include "run/RunLog.h"

class FixedClock : public ILogClock {
public:
    LocalDateTime t{2001, 10, 28, 3, 0, 0};
    std::string date = "/", time = ":";
    LocalDateTime Now() override { return t; }
    std::string DateSeparator() override { return date; }
    std::string TimeSeparator() override { return time; }
};

// The lines of the saved file between the run header and the end-of-run
// line, without their stamps; checks the header and the end on the way.
inline std::vector<std::string> SavedRunLines(const FakeFileSystem& files, const std::string& path) {
    FakeFileSystem copy = files;
    FixedClock clock;
    TRunLog log(clock);
    LoadRunLog(log, copy, path);
    const std::vector<std::string> lines = log.Lines();
    std::vector<std::string> out;
    EXPECT_GE(lines.size(), 5u);
    if (lines.size() < 5) return out;
    EXPECT_EQ(lines[0], kLogSeparator);
    EXPECT_EQ(lines[1], "[2001/10/28 03:00:00] 実行開始");
    EXPECT_EQ(lines[2], kLogSeparator);
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), "");
    for (std::size_t i = 3; i + 2 < lines.size(); ++i) out.push_back(lines[i].substr(22));
    return out;
}
