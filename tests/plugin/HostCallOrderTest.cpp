// The order in which Zarbex.ext calls its host while it is built, creates its menu command and is told
// to let the host go, seen by a host that records every call on each of its interfaces.
#include "Host/PluginLibrary.h"
#include "tests/plugin/RecordingHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

TEST(HostCallOrder, ConstructionChecksTheHostAdoptsItsWindowThenCreatesTheMenuCommand) {
    RecordingHost host;
    PluginLibrary plugin(ZARBEX_EXT, host.Core());

    const Calls construction = {
        "ICore.GetVersion",
        "ICore.QueryInterface(IHostKernel)",
        "ICore.QueryInterface(IHostServer)",
        "ICore.QueryInterface(IApplicationWindows)",
        "IApplicationWindows.GetHandle",
    };
    // The menu item with its defaults, then the command's own caption and hint.
    const Calls menuCommand = {
        "ICore.QueryInterface(IMenuManager)",
        "IMenuManager.CreateItem",
        "IMenuItem.SetCaption(PluginMenuItem)",
        "IMenuItem.SetHint()",
        "IMenuItem.SetCategory(2)",
        "IMenuItem.SetEnabled(-1)",
        "IMenuItem.SetState(0)",
        "IMenuItem.SetOnClick",
        "IMenuItem.SetCaption(Get Bureau users info (Ukraine))",
        "IMenuItem.SetHint(Update information about Bureau users (Ukraine))",
    };
    Calls expected = construction;
    expected.insert(expected.end(), menuCommand.begin(), menuCommand.end());
    EXPECT_EQ(host.CallsWithoutReferenceCounting(), expected);
    ASSERT_FALSE(host.Calls().empty());
    EXPECT_EQ(host.Calls().front(), "ICore.AddRef") << "the core is kept before it is asked anything";
}

TEST(HostCallOrder, NotifyDestroyRemovesTheItemThenReleasesEveryInterfaceInTurn) {
    RecordingHost host;
    PluginLibrary plugin(ZARBEX_EXT, host.Core());
    ComPtr<IDestroyNotify> notify = ComPtr<IPlugin>(plugin.Plugin()).query<IDestroyNotify>();
    ASSERT_TRUE(notify);
    host.Clear();

    EXPECT_EQ(notify->NotifyDestroy(), S_OK);
    EXPECT_EQ(host.Calls(), (Calls{
                                "IMenuManager.DeleteItem",
                                "IMenuManager.Release",
                                "IMenuItem.Release",
                                "IHostServer.Release",
                                "IHostKernel.Release",
                                "IApplicationWindows.Release",
                                "ICore.Release",
                            }));
    EXPECT_EQ(host.OutstandingReferences(), 0);

    host.Clear();
    EXPECT_EQ(notify->NotifyDestroy(), S_OK);
    notify.reset();
    EXPECT_EQ(plugin.Unload(), S_OK);
    EXPECT_EQ(host.Calls(), Calls{}) << "once let go, the host is not called again";
}

} // namespace
