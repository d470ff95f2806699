#include <gtest/gtest.h>

#include "FakeShutdown.h"

namespace {

using V = std::vector<std::string>;
const std::string kNoToken = "Could not open the Token.\r\nShutting down Windows is failed";
const std::string kNoPrivilege = "Could not adjust the Privilege.\r\nShutting down Windows is failed";

TEST(PowerOff, EnablesTheShutdownPrivilegeThenAsksForPowerOff) {
    FakeShutdown api;
    TExitWin exitWin(nullptr, api);
    exitWin.PowerOff();
    EXPECT_EQ(api.calls, (V{"open", "lookup SeShutdownPrivilege", "adjust", "exit", "close"}));
    EXPECT_EQ(api.access, 0x28u);
    EXPECT_EQ(api.request.privilegeCount, 1u);
    EXPECT_EQ(api.request.luid.lowPart, 0x13u);
    EXPECT_EQ(api.request.luid.highPart, 7);
    EXPECT_EQ(api.request.attributes, 2u);
    EXPECT_EQ(api.exitFlags, 9u);
    EXPECT_EQ(api.exitReason, 0u);
}

TEST(PowerOff, EveryFailureRaisesExitErrorWithItsMessage) {
    const struct {
        FakeShutdown::Step step;
        const std::string& message;
        V calls;
    } cases[] = {
        {FakeShutdown::kOpen, kNoToken, {"open"}},
        // Without the privilege's identifier there is nothing to enable.
        {FakeShutdown::kLookup, kNoPrivilege, {"open", "lookup SeShutdownPrivilege", "close"}},
        {FakeShutdown::kAdjust, kNoPrivilege, {"open", "lookup SeShutdownPrivilege", "adjust", "close"}},
        {FakeShutdown::kExit, kNoPrivilege, {"open", "lookup SeShutdownPrivilege", "adjust", "exit", "close"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calls.size());
        FakeShutdown api;
        api.failAt = c.step;
        TExitWin exitWin(nullptr, api);
        try {
            exitWin.PowerOff();
            ADD_FAILURE() << "no error";
        } catch (const EExitError& e) {
            EXPECT_STREQ(e.ClassName(), "EExitError");
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(api.calls, c.calls);
    }
}

}  // namespace
