// The plug-in object's construction against hosts that lack what it needs. At the entry every failure
// becomes E_UNEXPECTED without a record; here, in the plug-in's own process, each failure shows its
// exception class and its exact text.
#include "Host/HostMenuItem.h"
#include "Host/HostServices.h"
#include "Plugins/Zarbex/Zarbex.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

const std::u16string kUnsupported =
    u"Host does not support required functionality.\r\nUpgrade your application to latest version.";

TEST(PluginConstruction, EachFailureRaisesItsClassWithItsText) {
    const struct {
        const char* what;
        std::function<void(HostServices&)> setUp;
        const char* className;
        std::u16string message;
    } cases[] = {
        {"core version 104018", [](HostServices& h) { h.SetCoreVersion(104018); }, "EAssertionFailed",
         u"Assertion failure (Plugins\\Zarbex\\Zarbex, line 74)"},
        {"no IHostServer", [](HostServices& h) { h.Faults().withheld = {IHostServer::iid}; },
         "EUnsupportedCore", kUnsupported},
        {"no IHostServer and no IApplicationWindows",
         [](HostServices& h) {
             h.Faults().withheld = {IHostServer::iid, IApplicationWindows::iid};
         },
         "EUnsupportedCore", kUnsupported},
        {"no IApplicationWindows", [](HostServices& h) { h.Faults().withheld = {IApplicationWindows::iid}; },
         "EInvalidCoreVersion", u"This plugin needs windows support."},
        {"no IMenuManager", [](HostServices& h) { h.Faults().withheld = {IMenuManager::iid}; },
         "EAssertionFailed", u"Assertion failure (PluginAPI\\Plugins\\PluginSupport, line 52)"},
        {"the command's caption refused",
         [](HostServices& h) {
             h.Faults().failing["IMenuItem.SetCaption"] = {E_FAIL, u"Menu is locked", 1};
         },
         "EOleException", u"Menu is locked"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ComPtr<HostServices> host = HostServices::Create();
        c.setUp(*host.get());
        try {
            TCheckedInterfacedObject::Create<TPlugin>(host.get());
            ADD_FAILURE() << "constructed";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.ClassName(), c.className);
            EXPECT_EQ(e.Message(), c.message);
            if (const auto* framework = dynamic_cast<const EBaseException*>(&e)) {
                EXPECT_EQ(framework->ErrorCode, ClassNameErrorCode(c.className));
            }
        }
        EXPECT_TRUE(host->MenuItems().empty()) << "no item of a failed plug-in stays";
        EXPECT_EQ(host->RefCount(), 1u) << "every reference taken is given back";
    }
}

} // namespace
