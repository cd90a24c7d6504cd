// The host's core object, handed to the plug-in's entry; every other host interface is asked of it.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct ICore : IUnknown {
    static constexpr GUID iid{0x2E4C1D23, 0x873E, 0x494D, {0xB6, 0x28, 0x65, 0xBC, 0xC0, 0xA5, 0x47, 0xA7}};
    virtual HRESULT STDMETHODCALLTYPE GetVersion(int32_t* version) = 0; // 3

protected:
    ~ICore() = default;
};
