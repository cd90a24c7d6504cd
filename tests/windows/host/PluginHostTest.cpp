// Zarbex.ext in the Windows test host, loaded by its exports alone: the entry's refusals, the version
// gate, the identity, the menu command, the error records of a failed click on the clicking thread, and
// every reference the plug-in took given back.
#include "PluginAPI/BStr.h"
#include "tests/windows/host/TestHost.h"

#include <gtest/gtest.h>

#include <cctype>
#include <thread>

namespace {

constexpr GUID PluginId{0x6A1F3C52, 0xD8E4, 0x4B07, {0x9E, 0x21, 0x73, 0xC5, 0xB8, 0xA0, 0xF4, 0xD9}};

std::u16string Text(HRESULT (STDMETHODCALLTYPE IPlugin::*method)(BSTR*), IPlugin* plugin) {
    BStr text;
    EXPECT_EQ((plugin->*method)(text.put()), S_OK);
    return text.str();
}

TEST(PluginExports, DoneAnswersWithoutTheEntryAndTheEntryRefusesNoCore) {
    const TPluginModule& module = PluginModule();
    EXPECT_EQ(module.Done()(), S_OK);
    IPlugin* plugin = reinterpret_cast<IPlugin*>(&plugin); // the entry must overwrite it with nil
    EXPECT_EQ(module.Entry()(nullptr, &plugin), E_UNEXPECTED);
    EXPECT_EQ(plugin, nullptr);
    EXPECT_FALSE(TakeErrorRecord());
}

TEST(PluginInHost, IdentityMenuCommandAndTearDown) {
    const TPluginModule& module = PluginModule();
    TTestHost host;
    IPlugin* raw = nullptr;
    ASSERT_EQ(module.Entry()(host.Core(), &raw), S_OK);
    auto plugin = ComPtr<IPlugin>::Attach(raw);

    GUID id{};
    EXPECT_EQ(plugin->GetID(&id), S_OK);
    EXPECT_TRUE(id == PluginId);
    EXPECT_EQ(Text(&IPlugin::GetName, plugin.get()), u"Get Bureau users info (Ukraine)");
    EXPECT_EQ(Text(&IPlugin::GetVersion, plugin.get()), u"1.04.019 (1706)");
    std::int32_t category = 0;
    EXPECT_EQ(plugin->GetCategory(&category), S_OK);
    EXPECT_EQ(category, 2);
    EXPECT_FALSE(Text(&IPlugin::GetCopyright, plugin.get()).empty());
    EXPECT_EQ(Text(&IPlugin::GetHomePage, plugin.get()).rfind(u"http://", 0), 0u);
    EXPECT_NE(Text(&IPlugin::GetEmail, plugin.get()).find(u'@'), std::u16string::npos);

    ASSERT_EQ(host.Host().MenuItems().size(), 1u);
    const ComPtr<HostMenuItem> item = host.Host().MenuItems()[0];
    EXPECT_EQ(item->Caption(), u"Get Bureau users info (Ukraine)");
    EXPECT_EQ(item->Hint(), u"Update information about Bureau users (Ukraine)");
    EXPECT_EQ(item->Category(), 2);
    EXPECT_EQ(item->State(), 0);
    EXPECT_TRUE(item->Enabled());
    EXPECT_TRUE(item->HasHandler());

    // A disabled item does nothing beyond asking whether it is enabled.
    item->SetEnabledByHost(false);
    const auto before = host.Host().Calls().size();
    EXPECT_EQ(item->Click(), S_OK);
    EXPECT_EQ(host.Host().Calls().size(), before + 1);
    EXPECT_EQ(host.Host().ModalBegins(), 0);

    auto notify = plugin.query<IDestroyNotify>();
    ASSERT_TRUE(notify);
    EXPECT_EQ(notify->NotifyDestroy(), S_OK);
    EXPECT_TRUE(host.Host().MenuItems().empty());
    EXPECT_EQ(host.Host().RefCount(), 1u) << "the plug-in holds nothing of the host";
    EXPECT_EQ(notify->NotifyDestroy(), S_OK);
    EXPECT_EQ(host.Host().CallCount("IMenuManager.DeleteItem"), 1);
    // The identity still answers once the host was released.
    EXPECT_EQ(Text(&IPlugin::GetName, plugin.get()), u"Get Bureau users info (Ukraine)");

    notify.reset();
    EXPECT_EQ(plugin.detach()->Release(), 0u);
    EXPECT_EQ(module.Done()(), S_OK);
    EXPECT_EQ(host.Host().RefCount(), 1u);
    EXPECT_EQ(item->RefCount(), 1u) << "nothing but the test holds the deleted item";
}

TEST(PluginInHost, TheLastReleaseAloneReleasesTheHost) {
    const TPluginModule& module = PluginModule();
    TTestHost host;
    IPlugin* plugin = nullptr;
    ASSERT_EQ(module.Entry()(host.Core(), &plugin), S_OK);
    EXPECT_GT(host.Host().RefCount(), 1u);
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(host.Host().RefCount(), 1u);
    EXPECT_TRUE(host.Host().MenuItems().empty());
}

TEST(PluginInHost, WithoutKernelTheCommandFailsWithARecordOnTheClickingThreadOnly) {
    const TPluginModule& module = PluginModule();
    TTestHost host;
    host.Host().Faults().withheld.push_back(IHostKernel::iid);
    TLoadedPlugin plugin(module, host.Core());
    const ComPtr<HostMenuItem> item = host.Host().MenuItems().at(0);

    // The click comes from a thread of its own: its record stays there.
    HRESULT clicked = S_OK;
    bool recordOnClickingThread = false;
    std::u16string description;
    std::thread([&] {
        clicked = item->Click();
        recordOnClickingThread = TakeErrorRecord(&description);
    }).join();
    EXPECT_LT(clicked, 0);
    EXPECT_TRUE(recordOnClickingThread);
    EXPECT_NE(description.find(u"IHostKernel"), std::u16string::npos)
        << std::string(description.begin(), description.end());
    EXPECT_FALSE(TakeErrorRecord()) << "the host's thread has no record of a call it did not make";
    EXPECT_EQ(host.Host().ModalBegins(), 0);

    // The plug-in stays usable: the same failure again, on this thread.
    EXPECT_LT(item->Click(), 0);
    EXPECT_TRUE(TakeErrorRecord());
}

struct RefusalCase {
    const char* what;
    void (*setUp)(HostServices&);
};

class EntryRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(EntryRefusal, ReturnsUnexpectedAndLeavesNothingBehind) {
    const TPluginModule& module = PluginModule();
    TTestHost host;
    GetParam().setUp(host.Host());
    IPlugin* plugin = reinterpret_cast<IPlugin*>(&plugin);
    EXPECT_EQ(module.Entry()(host.Core(), &plugin), E_UNEXPECTED);
    EXPECT_EQ(plugin, nullptr);
    EXPECT_FALSE(TakeErrorRecord());
    EXPECT_TRUE(host.Host().MenuItems().empty());
    EXPECT_EQ(host.Host().RefCount(), 1u);
}

void Fail(HostServices& host, const char* method, int afterCalls = 0) {
    host.Faults().failing[method] = {E_FAIL, u"refused", afterCalls};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryRefusal,
    ::testing::Values(
        RefusalCase{"version 104018", [](HostServices& h) { h.SetCoreVersion(104018); }},
        RefusalCase{"no IHostServer",
                    [](HostServices& h) { h.Faults().withheld.push_back(IHostServer::iid); }},
        RefusalCase{"no IApplicationWindows",
                    [](HostServices& h) { h.Faults().withheld.push_back(IApplicationWindows::iid); }},
        RefusalCase{"S_FALSE for IHostServer",
                    [](HostServices& h) { h.Faults().answeredSFalse.push_back(IHostServer::iid); }},
        RefusalCase{"no IMenuManager",
                    [](HostServices& h) { h.Faults().withheld.push_back(IMenuManager::iid); }},
        RefusalCase{"GetHandle fails", [](HostServices& h) { Fail(h, "IApplicationWindows.GetHandle"); }},
        RefusalCase{"CreateItem fails", [](HostServices& h) { Fail(h, "IMenuManager.CreateItem"); }},
        RefusalCase{"the real caption fails", [](HostServices& h) { Fail(h, "IMenuItem.SetCaption", 1); }}),
    [](const auto& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(PluginInHost, TheLowestVersionIsAcceptedAndASFalseHostMethodHasSucceeded) {
    const TPluginModule& module = PluginModule();
    TTestHost host;
    host.Host().SetCoreVersion(104019);
    host.Host().Faults().failing["IMenuItem.SetState"] = {S_FALSE, u""};
    TLoadedPlugin plugin(module, host.Core());
    EXPECT_EQ(host.Host().MenuItems().size(), 1u);
}

} // namespace
