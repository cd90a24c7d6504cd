// The host's application icons, optional; each call yields a handle the caller owns.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct IApplicationIcons : IUnknown {
    static constexpr GUID iid{0x2EF25A6A, 0xF584, 0x469C, {0xB9, 0xF1, 0xAA, 0x35, 0xEA, 0x04, 0xCC, 0x40}};
    virtual HRESULT STDMETHODCALLTYPE GetSmallIcon(HICON* icon) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE GetLargeIcon(HICON* icon) = 0; // 4

protected:
    ~IApplicationIcons() = default;
};
