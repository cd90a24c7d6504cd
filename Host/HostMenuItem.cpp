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
    if (deleted_ || handler_ == nullptr)
        return S_OK;
    ComPtr<HostMenuItem> self(this); // the item stays alive while its handler runs
    return handler_->Notify(static_cast<IMenuItem*>(this));
}

void HostMenuItem::MarkDeleted() {
    deleted_ = true;
    handler_ = nullptr;
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
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT HostMenuItem::GetEnabled(BOOL32* enabled) {
    if (HRESULT hr = Enter(host_, "IMenuItem.GetEnabled"); hr < 0)
        return hr;
    if (enabled == nullptr)
        return E_POINTER;
    *enabled = enabled_;
    return S_OK;
}

HRESULT HostMenuItem::SetCaption(BSTR caption) {
    if (HRESULT hr = Enter(host_, "IMenuItem.SetCaption"); hr < 0)
        return hr;
    caption_ = BStr::ToString(caption);
    if (host_ != nullptr)
        host_->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetState(int32_t value) {
    if (HRESULT hr = Enter(host_, "IMenuItem.SetState"); hr < 0)
        return hr;
    state_ = value;
    return S_OK;
}

HRESULT HostMenuItem::SetEnabled(BOOL32 value) {
    if (HRESULT hr = Enter(host_, "IMenuItem.SetEnabled"); hr < 0)
        return hr;
    enabled_ = value;
    if (host_ != nullptr)
        host_->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetHint(BSTR hint) {
    if (HRESULT hr = Enter(host_, "IMenuItem.SetHint"); hr < 0)
        return hr;
    hint_ = BStr::ToString(hint);
    if (host_ != nullptr)
        host_->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetCategory(int32_t category) {
    if (HRESULT hr = Enter(host_, "IMenuItem.SetCategory"); hr < 0)
        return hr;
    category_ = category;
    if (host_ != nullptr)
        host_->NotifyMenuChanged();
    return S_OK;
}

HRESULT HostMenuItem::SetOnClick(INotifyEvent* handler) {
    if (HRESULT hr = Enter(host_, "IMenuItem.SetOnClick"); hr < 0)
        return hr;
    handler_ = deleted_ ? nullptr : handler;
    return S_OK;
}
