// One entry of the host's menu, with a click handler. The host's reference to the click callback
// neither keeps the item alive nor destroys it: the item belongs to whoever created it.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/PluginAPI.h"

#include <functional>

using TNotifyEvent = std::function<void(TObject* sender)>;

class TPluginMenuItem : public TObject, public INotifyEvent {
public:
    // Creates the host's entry with default settings and registers the click callback. On a host
    // failure the entry is removed again and the failure raised.
    TPluginMenuItem(ICore* core, std::int32_t category);
    ~TPluginMenuItem() override;
    TPluginMenuItem(const TPluginMenuItem&) = delete;
    TPluginMenuItem& operator=(const TPluginMenuItem&) = delete;

    // Removes the host's entry; a host failure is raised. The destructor does it when nobody did.
    void RemoveFromHost();

    IMenuItem* MenuItem() const { return FMenuItem.get(); }
    TNotifyEvent OnClick;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(-1); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(-1); }
    HRESULT STDMETHODCALLTYPE Notify(IUnknown* sender) override;

    DECLARE_CLASS_NAME(TPluginMenuItem)
    HRESULT SafeCallException(const std::exception& e, void* address) override;

protected:
    virtual void DoClick();

private:
    ComPtr<IMenuManager> FMenuManager;
    ComPtr<IMenuItem> FMenuItem;
    bool FRemoved = false;
};
