#include "Plugins/Zarbex/Zarbex.h"

#include "Platform/Application.h"
#include "Platform/OleAuto.h"
#include "PluginAPI/BStr.h"
#if !defined(_WIN32)
#include "PluginAPI/Plugins/PluginForm.h"
#endif

TPlugin::TPlugin(ICore* core) : FCore(core) {
    try {
        if (!FCore)
            throw EArgumentException(u"The host gave no core interface");
        std::int32_t version = 0;
        HostCall(FCore->GetVersion(&version));
        Assert(version >= PluginIdentity::MinCoreVersion, u"Plugins\\Zarbex\\Zarbex", 74);
        FKernel = FCore.query<IHostKernel>();
        FServer = FCore.query<IHostServer>();
        if (!FServer)
            throw EUnsupportedCore(u"Host does not support required functionality.\r\nUpgrade your "
                                   u"application to latest version.");
        FApplicationWindows = FCore.query<IApplicationWindows>();
        if (!FApplicationWindows)
            throw EInvalidCoreVersion(u"This plugin needs windows support.");
        HWND window = 0;
        HostCall(FApplicationWindows->GetHandle(&window));
        SetApplicationHandle(window);
        CreateMenuCommand();
    } catch (...) {
        try {
            ReleaseHost();
        } catch (...) {
            // The construction's failure is the one to report.
        }
        throw;
    }
}

TPlugin::~TPlugin() {
    // A destructor cannot raise: a host that wants to see a failure calls NotifyDestroy itself. The
    // record the swallowed failure published would wait on the host's thread for its next failing
    // call, which would then report our failure as its own.
    if (NotifyDestroy() < 0)
        SetErrorInfo(0, nullptr);
#if !defined(_WIN32)
    // The Qt application the dialogs needed goes with the plug-in; Windows' own dialogs need none.
    ReleaseApplication();
#endif
}

void TPlugin::CreateMenuCommand() {
    std::int32_t category = 0;
    HostCall(GetCategory(&category));
    FPluginMenuItem = std::make_unique<TPluginMenuItem>(FCore.get(), category);
    FPluginMenuItem->OnClick = [this](TObject* sender) { OnMenuClick(sender); };
    HostCall(FPluginMenuItem->MenuItem()->SetCaption(BStr(PluginIdentity::Name).get()));
    HostCall(FPluginMenuItem->MenuItem()->SetHint(BStr(PluginIdentity::MenuHint).get()));
}

void TPlugin::ReleaseHost() {
    if (std::unique_ptr<TPluginMenuItem> item = std::move(FPluginMenuItem))
        item->RemoveFromHost();
    SetApplicationHandle(0);
    FServer.reset();
    FKernel.reset();
    FApplicationWindows.reset();
    FCore.reset();
}

HRESULT TPlugin::NotifyDestroy() {
    return SafeCall(*this, [&] { ReleaseHost(); });
}

HRESULT TPlugin::GetID(GUID* id) {
    return SafeCall(*this, [&] {
        if (id == nullptr)
            throw EArgumentException(u"No variable for the identifier");
        *id = PluginIdentity::ID;
    });
}

HRESULT TPlugin::GetName(BSTR* name) {
    return SafeCall(*this, [&] { ReturnString(name, PluginIdentity::Name); });
}

HRESULT TPlugin::GetVersion(BSTR* version) {
    return SafeCall(*this, [&] { ReturnString(version, PluginIdentity::Version); });
}

HRESULT TPlugin::GetCategory(std::int32_t* category) {
    return SafeCall(*this, [&] {
        if (category == nullptr)
            throw EArgumentException(u"No variable for the category");
        *category = PluginIdentity::Category;
    });
}

HRESULT TPlugin::GetCopyright(BSTR* text) {
    return SafeCall(*this, [&] { ReturnString(text, PluginIdentity::Copyright); });
}

HRESULT TPlugin::GetHomePage(BSTR* url) {
    return SafeCall(*this, [&] { ReturnString(url, PluginIdentity::HomePage); });
}

HRESULT TPlugin::GetEmail(BSTR* address) {
    return SafeCall(*this, [&] { ReturnString(address, PluginIdentity::Email); });
}
