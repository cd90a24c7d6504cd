#include "PluginAPI/Plugins/PluginSupport.h"

#include "PluginAPI/BStr.h"
#include "PluginAPI/ScopeExit.h"

TPluginMenuItem::TPluginMenuItem(ICore* core, std::int32_t category) {
    FMenuManager = core == nullptr ? ComPtr<IMenuManager>() : ComPtr<ICore>(core).query<IMenuManager>();
    Assert(static_cast<bool>(FMenuManager), u"PluginAPI\\Plugins\\PluginSupport", 52);
    // A failed construction takes the entry off the host's menu again.
    TScopeExit undo([this] { RemoveFromHost(); });
    HostCall(FMenuManager->CreateItem(FMenuItem.put()));
    if (!FMenuItem)
        throw EOleException(u"The host created no menu item", E_POINTER, {}, {}, 0);
    HostCall(FMenuItem->SetCaption(BStr(u"PluginMenuItem").get()));
    HostCall(FMenuItem->SetHint(BStr(u"").get()));
    HostCall(FMenuItem->SetCategory(category));
    HostCall(FMenuItem->SetEnabled(BOOL32_TRUE));
    HostCall(FMenuItem->SetState(0));
    HostCall(FMenuItem->SetOnClick(this));
    undo.Dismiss();
}

TPluginMenuItem::~TPluginMenuItem() {
    try {
        RemoveFromHost();
    } catch (...) {
        // A destructor cannot raise; an owner that cares calls RemoveFromHost first.
    }
}

void TPluginMenuItem::RemoveFromHost() {
    if (FRemoved || !FMenuManager)
        return;
    FRemoved = true;
    ComPtr<IMenuManager> manager = std::move(FMenuManager);
    // The host may clear our variable; whatever it leaves there is ours to release, after the manager.
    const HRESULT hr = manager->DeleteItem(FMenuItem.ref());
    manager.reset();
    FMenuItem.reset();
    HostCall(hr);
}

HRESULT TPluginMenuItem::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    if (iid == IidOf<INotifyEvent>() || iid == IidOf<IUnknown>()) {
        *out = static_cast<INotifyEvent*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT TPluginMenuItem::Notify(IUnknown* sender) {
    return SafeCall(*this, [&] {
        ComPtr<IUnknown> heldSender(sender);
        DoClick();
    });
}

void TPluginMenuItem::DoClick() {
    if (!FMenuItem)
        return;
    BOOL32 enabled = 0;
    HostCall(FMenuItem->GetEnabled(&enabled));
    if (enabled != 0 && OnClick)
        OnClick(this);
}

HRESULT TPluginMenuItem::SafeCallException(const std::exception& e, void*) {
    return HandleSafeCallError(*this, e);
}
