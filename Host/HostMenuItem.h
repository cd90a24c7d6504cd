// One entry of the host's "Plugins" menu, as a plug-in sees it through IMenuItem.
#pragma once

#include "PluginAPI/PluginAPI.h"

#include <atomic>
#include <string>

class HostServices;

class HostMenuItem final : public IMenuItem {
public:
    explicit HostMenuItem(HostServices* host) : FHost(host) {}

    std::u16string Caption() const { return FCaption; }
    std::u16string Hint() const { return FHint; }
    int32_t Category() const { return FCategory; }
    int32_t State() const { return FState; }
    bool Enabled() const { return FEnabled != 0; }
    void SetEnabledByHost(bool enabled) { FEnabled = enabled ? BOOL32_TRUE : BOOL32_FALSE; }
    bool Deleted() const { return FDeleted; }
    bool HasHandler() const { return FHandler != nullptr; }
    ULONG RefCount() const { return FRefs.load(); }

    // The user chose the item: the handler's Notify, with the item as sender. Never after deletion.
    HRESULT Click();
    void MarkDeleted();
    void DetachHost() { FHost = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetEnabled(BOOL32* enabled) override;
    HRESULT STDMETHODCALLTYPE SetCaption(BSTR caption) override;
    HRESULT STDMETHODCALLTYPE SetState(int32_t value) override;
    HRESULT STDMETHODCALLTYPE SetEnabled(BOOL32 value) override;
    HRESULT STDMETHODCALLTYPE SetHint(BSTR hint) override;
    HRESULT STDMETHODCALLTYPE SetCategory(int32_t category) override;
    HRESULT STDMETHODCALLTYPE SetOnClick(INotifyEvent* handler) override;
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }

private:
    ~HostMenuItem() = default;

    std::atomic<ULONG> FRefs{1};
    HostServices* FHost; // the host outlives its items' use: items are only touched through it
    std::u16string FCaption, FHint;
    int32_t FCategory = 0;
    int32_t FState = 0;
    BOOL32 FEnabled = BOOL32_FALSE;
    INotifyEvent* FHandler = nullptr; // not counted: the plug-in's callback counts no references
    bool FDeleted = false;
};
