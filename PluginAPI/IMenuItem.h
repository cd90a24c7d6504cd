// One command in the host's menus.
#pragma once

#include "PluginAPI/PluginTypes.h"

#include "PluginAPI/INotifyEvent.h"

struct IMenuItem : IUnknown {
    static constexpr GUID iid{0x37138407, 0x0C6F, 0x448B, {0xB1, 0x84, 0x34, 0xF1, 0xCD, 0x63, 0x8B, 0x85}};
    PLUGINAPI_RESERVED(Reserved3);                                       // 3
    PLUGINAPI_RESERVED(Reserved4);                                       // 4
    virtual HRESULT STDMETHODCALLTYPE GetEnabled(BOOL32* enabled) = 0;   // 5
    PLUGINAPI_RESERVED(Reserved6);                                       // 6
    PLUGINAPI_RESERVED(Reserved7);                                       // 7
    virtual HRESULT STDMETHODCALLTYPE SetCaption(BSTR caption) = 0;      // 8
    virtual HRESULT STDMETHODCALLTYPE SetState(int32_t value) = 0;       // 9
    virtual HRESULT STDMETHODCALLTYPE SetEnabled(BOOL32 value) = 0;      // 10
    virtual HRESULT STDMETHODCALLTYPE SetHint(BSTR hint) = 0;            // 11
    virtual HRESULT STDMETHODCALLTYPE SetCategory(int32_t category) = 0; // 12
    // The handler counts no references: the host must not call it after DeleteItem.
    virtual HRESULT STDMETHODCALLTYPE SetOnClick(INotifyEvent* handler) = 0; // 13

protected:
    ~IMenuItem() = default;
};
