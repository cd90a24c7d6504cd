// A click callback, implemented by the plug-in and called by the host.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct INotifyEvent : IUnknown {
    static constexpr GUID iid{0xA6435676, 0xACE3, 0x4A28, {0x83, 0x58, 0x72, 0x0C, 0xEA, 0x49, 0x5F, 0xFA}};
    virtual HRESULT STDMETHODCALLTYPE Notify(IUnknown* sender) = 0; // 3

protected:
    ~INotifyEvent() = default;
};
