// Tells the plug-in to let go of the host; implemented by the plug-in.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct IDestroyNotify : IUnknown {
    static constexpr GUID iid{0xE55338C1, 0x631A, 0x424D, {0xAC, 0xF7, 0x86, 0x3C, 0x9D, 0x4C, 0xAD, 0xA1}};
    virtual HRESULT STDMETHODCALLTYPE NotifyDestroy() = 0; // 3

protected:
    ~IDestroyNotify() = default;
};
