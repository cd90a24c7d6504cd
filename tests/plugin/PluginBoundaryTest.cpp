// Zarbex.ext loaded into a host by its exports alone, with a host that misbehaves on purpose.
#include "Host/HostMenuItem.h"
#include "Host/HostServices.h"
#include "Host/PluginLibrary.h"
#include "PluginAPI/BStr.h"
#include "tests/support/Shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dlfcn.h>
#include <memory>

namespace {

constexpr GUID kPluginId{0x6A1F3C52, 0xD8E4, 0x4B07, {0x9E, 0x21, 0x73, 0xC5, 0xB8, 0xA0, 0xF4, 0xD9}};

struct Library {
    std::unique_ptr<void, int (*)(void*)> handle{dlopen(ZARBEX_EXT, RTLD_NOW | RTLD_LOCAL), &dlclose};
    PluginEntryProc entry = reinterpret_cast<PluginEntryProc>(dlsym(handle.get(), PLUGIN_ENTRY_NAME));
    PluginDoneProc done = reinterpret_cast<PluginDoneProc>(dlsym(handle.get(), PLUGIN_DONE_NAME));
};

bool ErrorRecordPending() {
    IErrorInfo* raw = nullptr;
    const bool present = GetErrorInfo(0, &raw) == S_OK;
    if (raw != nullptr)
        raw->Release();
    return present;
}

} // namespace

TEST(Exports, OnlyTheEntryAndItsCompanion) {
    const std::string symbols = Shell("nm -D --defined-only '" ZARBEX_EXT "' | awk '{print $3}' | sort");
    EXPECT_EQ(symbols, "983BEDA12B2347028D99FF042C551640\n983BEDA12B2347028D99FF042C551640_done\n");
}

TEST(Exports, DoneSucceedsWithoutTheEntry) {
    Library lib;
    ASSERT_NE(lib.done, nullptr);
    EXPECT_EQ(lib.done(), S_OK);
}

TEST(Plugin, IdentityMenuCommandAndTearDown) {
    auto host = HostServices::Create();
    ComPtr<HostMenuItem> entry;
    {
        PluginLibrary plugin(ZARBEX_EXT, host.get());
        PluginInfo info = plugin.Info();
        EXPECT_TRUE(info.id == kPluginId);
        EXPECT_EQ(info.name, u"Get Bureau users info (Ukraine)");
        EXPECT_EQ(info.version, u"1.04.019 (1706)");
        EXPECT_EQ(info.category, 2);
        EXPECT_FALSE(info.copyright.empty());
        EXPECT_EQ(info.homePage.rfind(u"http://", 0), 0u);
        EXPECT_NE(info.email.find(u'@'), std::u16string::npos);

        auto items = host->MenuItems();
        ASSERT_EQ(items.size(), 1u);
        entry = items[0];
        EXPECT_EQ(entry->Caption(), u"Get Bureau users info (Ukraine)");
        EXPECT_EQ(entry->Hint(), u"Update information about Bureau users (Ukraine)");
        EXPECT_EQ(entry->Category(), 2);
        EXPECT_TRUE(entry->Enabled());

        // A disabled entry does nothing: no host call beyond asking whether it is enabled.
        entry->SetEnabledByHost(false);
        const auto before = host->Calls().size();
        EXPECT_EQ(entry->Click(), S_OK);
        EXPECT_EQ(host->Calls().size(), before + 1);

        // Strings are new for every call and the caller frees them.
        BSTR a = nullptr, b = nullptr;
        ASSERT_EQ(plugin.Plugin()->GetName(&a), S_OK);
        ASSERT_EQ(plugin.Plugin()->GetName(&b), S_OK);
        EXPECT_NE(a, b);
        SysFreeString(a);
        SysFreeString(b);

        auto notify = ComPtr<IPlugin>(plugin.Plugin()).query<IDestroyNotify>();
        ASSERT_TRUE(notify);
        EXPECT_EQ(notify->NotifyDestroy(), S_OK);
        EXPECT_TRUE(host->MenuItems().empty());
        EXPECT_EQ(host->RefCount(), 1u) << "the plug-in holds nothing of the host";
        EXPECT_EQ(notify->NotifyDestroy(), S_OK);
        EXPECT_EQ(host->CallCount("IMenuManager.DeleteItem"), 1);
        // Identity still answers after the host was released.
        int32_t category = 0;
        EXPECT_EQ(plugin.Plugin()->GetCategory(&category), S_OK);
        EXPECT_EQ(category, 2);
        BStr name;
        EXPECT_EQ(plugin.Plugin()->GetName(name.put()), S_OK);
        EXPECT_EQ(name.str(), u"Get Bureau users info (Ukraine)");
    }
    EXPECT_EQ(host->RefCount(), 1u);
    EXPECT_EQ(entry->RefCount(), 1u) << "nothing but the test holds the deleted item";
    EXPECT_TRUE(entry->Deleted());
}

TEST(Plugin, TheLastReleaseAloneReleasesTheHost) {
    auto host = HostServices::Create();
    Library lib;
    IPlugin* plugin = nullptr;
    ASSERT_EQ(lib.entry(host.get(), &plugin), S_OK);
    EXPECT_GT(host->RefCount(), 1u);
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(host->RefCount(), 1u);
    EXPECT_TRUE(host->MenuItems().empty());
}

TEST(Plugin, AFailureTheLastReleaseSwallowsLeavesNoErrorRecordBehind) {
    auto host = HostServices::Create();
    Library lib;
    IPlugin* plugin = nullptr;
    ASSERT_EQ(lib.entry(host.get(), &plugin), S_OK);
    host->Faults().failing["IMenuManager.DeleteItem"] = {E_FAIL, u"The menu is locked"};
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(host->CallCount("IMenuManager.DeleteItem"), 1);
    EXPECT_FALSE(ErrorRecordPending()) << "a later failing call of the host would take it for its own";
    EXPECT_EQ(host->RefCount(), 1u);
}

TEST(Plugin, WithoutKernelItLoadsButTheCommandFails) {
    auto host = HostServices::Create();
    host->Faults().withheld.push_back(IHostKernel::iid);
    PluginLibrary plugin(ZARBEX_EXT, host.get());
    auto entry = host->MenuItems().at(0);
    EXPECT_LT(entry->Click(), 0);
    EXPECT_EQ(host->ModalBegins(), 0);
    EXPECT_TRUE(ErrorRecordPending());
}

struct RefusalCase {
    const char* what;
    void (*setUp)(HostServices&);
};

class EntryRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(EntryRefusal, ReturnsUnexpectedLeavesNothingBehind) {
    auto host = HostServices::Create();
    GetParam().setUp(*host.get());
    Library lib;
    IPlugin* plugin = reinterpret_cast<IPlugin*>(0x1); // the entry must overwrite it with nil
    EXPECT_EQ(lib.entry(host.get(), &plugin), E_UNEXPECTED);
    EXPECT_EQ(plugin, nullptr);
    EXPECT_FALSE(ErrorRecordPending());
    EXPECT_TRUE(host->MenuItems().empty());
    EXPECT_EQ(host->RefCount(), 1u);
}

void Fail(HostServices& h, const char* method) {
    h.Faults().failing[method] = {E_FAIL, u"refused"};
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
        RefusalCase{"GetVersion fails", [](HostServices& h) { Fail(h, "ICore.GetVersion"); }},
        RefusalCase{"GetHandle fails", [](HostServices& h) { Fail(h, "IApplicationWindows.GetHandle"); }},
        RefusalCase{"CreateItem fails", [](HostServices& h) { Fail(h, "IMenuManager.CreateItem"); }},
        RefusalCase{"SetOnClick fails", [](HostServices& h) { Fail(h, "IMenuItem.SetOnClick"); }},
        RefusalCase{"the real caption fails",
                    [](HostServices& h) {
                        h.Faults().failing["IMenuItem.SetCaption"] = {E_FAIL, u"refused", 1};
                    }},
        RefusalCase{"the hint fails",
                    [](HostServices& h) {
                        h.Faults().failing["IMenuItem.SetHint"] = {E_FAIL, u"refused", 1};
                    }}),
    [](const auto& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(Plugin, AcceptsTheLowestVersionAndNoneOfTheFailuresOfASFalseHostMethod) {
    auto host = HostServices::Create();
    host->SetCoreVersion(104019);
    host->Faults().failing["IMenuItem.SetState"] = {S_FALSE, u""}; // success codes are success
    PluginLibrary plugin(ZARBEX_EXT, host.get());
    EXPECT_EQ(host->MenuItems().size(), 1u);
}
