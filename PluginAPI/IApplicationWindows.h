// The host's main window and its modal state.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct IApplicationWindows : IUnknown {
    static constexpr GUID iid{0x2EE5EF53, 0x6EA9, 0x4537, {0xA7, 0xC3, 0x23, 0x3E, 0xD9, 0xD3, 0x91, 0x08}};
    virtual HRESULT STDMETHODCALLTYPE GetHandle(HWND* handle) = 0; // 3
    PLUGINAPI_RESERVED(Reserved4);                                 // 4
    PLUGINAPI_RESERVED(Reserved5);                                 // 5
    PLUGINAPI_RESERVED(Reserved6);                                 // 6
    PLUGINAPI_RESERVED(Reserved7);                                 // 7
    virtual HRESULT STDMETHODCALLTYPE BeginModal() = 0;            // 8
    virtual HRESULT STDMETHODCALLTYPE EndModal() = 0;              // 9
    PLUGINAPI_RESERVED(Reserved10);                                // 10
    PLUGINAPI_RESERVED(Reserved11);                                // 11

protected:
    ~IApplicationWindows() = default;
};
