// The plug-in's menu item against the host's side of the boundary.
#include "Host/HostMenuItem.h"
#include "Host/HostServices.h"
#include "PluginAPI/BStr.h"
#include "PluginAPI/Plugins/PluginSupport.h"

#include <gtest/gtest.h>

namespace {

struct MenuItemTest : ::testing::Test {
    ComPtr<HostServices> host = HostServices::Create();
};

std::u16string TakeSource() {
    IErrorInfo* raw = nullptr;
    if (GetErrorInfo(0, &raw) != S_OK)
        return u"<none>";
    auto info = ComPtr<IErrorInfo>::Attach(raw);
    BStr source;
    info->GetSource(source.put());
    return source.str();
}

} // namespace

TEST_F(MenuItemTest, CreatesTheEntryWithDefaultsAndRemovesItAgain) {
    {
        TPluginMenuItem item(host.get(), 2);
        auto items = host->MenuItems();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0]->Caption(), u"PluginMenuItem");
        EXPECT_EQ(items[0]->Hint(), u"");
        EXPECT_EQ(items[0]->Category(), 2);
        EXPECT_TRUE(items[0]->Enabled());
        EXPECT_EQ(items[0]->State(), 0);
        EXPECT_TRUE(items[0]->HasHandler());
        EXPECT_EQ(item.AddRef(), static_cast<ULONG>(-1));
        EXPECT_EQ(item.Release(), static_cast<ULONG>(-1));
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(item.QueryInterface(IPlugin::iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(item.QueryInterface(IUnknown::iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<INotifyEvent*>(&item));
    }
    EXPECT_TRUE(host->MenuItems().empty());
    EXPECT_EQ(host->CallCount("IMenuManager.DeleteItem"), 1);
    EXPECT_EQ(host->RefCount(), 1u);
}

TEST_F(MenuItemTest, ClicksRunTheHandlerOnlyWhenEnabled) {
    TPluginMenuItem item(host.get(), 2);
    int clicks = 0;
    TObject* sender = nullptr;
    auto entry = host->MenuItems().at(0);
    EXPECT_EQ(entry->Click(), S_OK) << "enabled without handler";
    item.OnClick = [&](TObject* s) {
        ++clicks;
        sender = s;
    };
    struct Case {
        BOOL32 enabled;
        int clicksAfter;
    } cases[] = {{0, 0}, {1, 1}, {-1, 2}};
    for (const auto& c : cases) {
        entry->SetEnabled(c.enabled);
        EXPECT_EQ(entry->Click(), S_OK);
        EXPECT_EQ(clicks, c.clicksAfter);
    }
    EXPECT_EQ(sender, &item);
}

TEST_F(MenuItemTest, AFailingHandlerReachesTheHostAsHResultAndRecord) {
    TPluginMenuItem item(host.get(), 2);
    item.OnClick = [](TObject*) { throw EAbort(u"stop"); };
    EXPECT_EQ(host->MenuItems().at(0)->Click(), static_cast<HRESULT>(0x8004C1E0u));
    EXPECT_EQ(TakeSource(), u"pluginsystem.TPluginMenuItem");
    host->Faults().failing["IMenuItem.GetEnabled"] = {E_FAIL, u"broken"};
    EXPECT_EQ(host->MenuItems().at(0)->Click(), E_FAIL);
}

TEST_F(MenuItemTest, WithoutMenuManagerConstructionAssertsAndCallsNothing) {
    host->Faults().withheld.push_back(IMenuManager::iid);
    try {
        TPluginMenuItem item(host.get(), 2);
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), u"Assertion failure (PluginAPI\\Plugins\\PluginSupport, line 52)");
    }
    EXPECT_TRUE(host->Calls().empty());
    EXPECT_EQ(host->RefCount(), 1u);
}

TEST_F(MenuItemTest, AHostFailureDuringConstructionRemovesTheEntry) {
    for (const char* method :
         {"IMenuManager.CreateItem", "IMenuItem.SetCaption", "IMenuItem.SetHint", "IMenuItem.SetCategory",
          "IMenuItem.SetEnabled", "IMenuItem.SetState", "IMenuItem.SetOnClick"}) {
        auto failing = HostServices::Create();
        failing->Faults().failing[method] = {E_FAIL, u"refused"};
        EXPECT_THROW(TPluginMenuItem(failing.get(), 2), EOleException) << method;
        EXPECT_TRUE(failing->MenuItems().empty()) << method;
        EXPECT_EQ(failing->CallCount("IMenuManager.DeleteItem"), 1) << method;
        EXPECT_EQ(failing->RefCount(), 1u) << method;
    }
}

TEST_F(MenuItemTest, AnItemTheHostDoesNotClearIsReleasedByThePlugin) {
    host->Faults().clearItemOnDelete = false;
    ComPtr<HostMenuItem> entry;
    {
        TPluginMenuItem item(host.get(), 2);
        entry = host->MenuItems().at(0);
    }
    EXPECT_EQ(entry->RefCount(), 1u) << "only the test's own reference is left";
    EXPECT_TRUE(entry->Deleted());
}
