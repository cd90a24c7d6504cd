// One entry of the host's "Plugins" menu, as a plug-in sees it through IMenuItem.
#pragma once

#include "PluginAPI/PluginAPI.h"

#include <atomic>
#include <string>

class HostServices;

class HostMenuItem final : public IMenuItem {
public:
    explicit HostMenuItem(HostServices* host) : host_(host) {}

    std::u16string Caption() const { return caption_; }
    std::u16string Hint() const { return hint_; }
    int32_t Category() const { return category_; }
    int32_t State() const { return state_; }
    bool Enabled() const { return enabled_ != 0; }
    void SetEnabledByHost(bool enabled) { enabled_ = enabled ? BOOL32_TRUE : BOOL32_FALSE; }
    bool Deleted() const { return deleted_; }
    bool HasHandler() const { return handler_ != nullptr; }
    ULONG RefCount() const { return refs_.load(); }

    // The user chose the item: the handler's Notify, with the item as sender. Never after deletion.
    HRESULT Click();
    void MarkDeleted();
    void DetachHost() { host_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
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

    std::atomic<ULONG> refs_{1};
    HostServices* host_; // the host outlives its items' use: items are only touched through it
    std::u16string caption_, hint_;
    int32_t category_ = 0;
    int32_t state_ = 0;
    BOOL32 enabled_ = BOOL32_FALSE;
    INotifyEvent* handler_ = nullptr; // not counted: the plug-in's callback counts no references
    bool deleted_ = false;
};
