// The scope-exit helper: when the clean-up runs, and which error reaches the caller.
#include "PluginAPI/ScopeExit.h"

#include "PluginAPI/SysUtils.h"

#include <gtest/gtest.h>

TEST(ScopeExit, RunsOnceWhenTheScopeIsLeftUnlessDismissed) {
    int runs = 0;
    {
        TScopeExit cleanUp([&] { ++runs; });
    }
    EXPECT_EQ(runs, 1);
    {
        TScopeExit cleanUp([&] { ++runs; });
        cleanUp.Dismiss();
    }
    EXPECT_EQ(runs, 1);
    try {
        TScopeExit cleanUp([&] { ++runs; });
        throw EAbort(u"stopped");
    } catch (const EAbort&) {
    }
    EXPECT_EQ(runs, 2);
}

TEST(ScopeExit, LeftByAnExceptionTheScopesOwnErrorWins) {
    try {
        TScopeExit cleanUp([] { throw EInOutError(u"clean-up failed"); });
        throw EFOpenError(u"the step failed");
    } catch (const Exception& e) {
        EXPECT_STREQ(e.ClassName(), "EFOpenError");
        EXPECT_EQ(e.Message(), u"the step failed");
    }
}

TEST(ScopeExit, LeftNormallyAFailingCleanUpReachesTheCaller) {
    EXPECT_THROW({ TScopeExit cleanUp([] { throw EInOutError(u"clean-up failed"); }); }, EInOutError);
    // Also when it is made inside a handler, while the handled exception is still alive.
    try {
        throw EAbort(u"handled");
    } catch (const EAbort&) {
        EXPECT_THROW({ TScopeExit cleanUp([] { throw EInOutError(u"clean-up failed"); }); }, EInOutError);
    }
}
