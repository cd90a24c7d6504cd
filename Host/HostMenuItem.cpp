#include "Host/HostMenuItem.h"

#include "Host/HostServices.h"
#include "PluginAPI/BStr.h"
#include "PluginAPI/ComPtr.h"

namespace {
HRESULT Enter(HostServices* host, const char* method) {
    return host == nullptr ? S_OK : host->Enter(method);
}
} // namespace

HRESULT HostMenuItem::Click() {
    if (FDeleted || FHandler == nullptr)
        return S_OK;
    ComPtr<HostMenuItem> self(this); // the item stays alive while its handler runs
    return FHandler->Notify(static_cast<IMenuItem*>(this));
}

void HostMenuItem::MarkDeleted() {
    FDeleted = true;
    FHandler = nullptr;
}

HRESULT HostMenuItem::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    if (iid == IidOf<IUnknown>() || iid == IMenuItem::iid) {
        *out = static_cast<IMenuItem*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG HostMenuItem::Release() {
    const ULONG left = --FRefs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT HostMenuItem::GetEnabled(BOOL32* enabled) {
    if (HRESULT hr = Enter(FHost, "IMenuItem.GetEnabled"); hr < 0)
        return hr;
    if (enabled == nullptr)
        return E_POINTER;
    *enabled = FEnabled;
    return S_OK;
}

HRESULT HostMenuItem::SetCaption(BSTR caption) {
    if (HRESULT hr = Enter(FHost, "IMenuItem.SetCaption"); hr < 0)
        return hr;
    FCaption = BStr::ToString(caption);
    if (FHost != nullptr)
        FHost->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetState(int32_t value) {
    if (HRESULT hr = Enter(FHost, "IMenuItem.SetState"); hr < 0)
        return hr;
    FState = value;
    return S_OK;
}

HRESULT HostMenuItem::SetEnabled(BOOL32 value) {
    if (HRESULT hr = Enter(FHost, "IMenuItem.SetEnabled"); hr < 0)
        return hr;
    FEnabled = value;
    if (FHost != nullptr)
        FHost->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetHint(BSTR hint) {
    if (HRESULT hr = Enter(FHost, "IMenuItem.SetHint"); hr < 0)
        return hr;
    FHint = BStr::ToString(hint);
    if (FHost != nullptr)
        FHost->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetCategory(int32_t category) {
    if (HRESULT hr = Enter(FHost, "IMenuItem.SetCategory"); hr < 0)
        return hr;
    FCategory = category;
    if (FHost != nullptr)
        FHost->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetOnClick(INotifyEvent* handler) {
    if (HRESULT hr = Enter(FHost, "IMenuItem.SetOnClick"); hr < 0)
        return hr;
    FHandler = FDeleted ? nullptr : handler;
    return S_OK;
}
