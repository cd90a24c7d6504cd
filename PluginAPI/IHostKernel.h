// General host services: the log, messages to the user, named values and commands.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct IHostKernel : IUnknown {
    static constexpr GUID iid{0x4188E8AA, 0xAC3A, 0x4398, {0xBE, 0xCF, 0x2B, 0x64, 0x44, 0x74, 0xBE, 0xD4}};
    virtual HRESULT STDMETHODCALLTYPE WriteLog(BSTR text) = 0;                  // 3
    virtual HRESULT STDMETHODCALLTYPE ShowMessage(BSTR text, BSTR caption) = 0; // 4
    PLUGINAPI_RESERVED(Reserved5);                                              // 5
    PLUGINAPI_RESERVED(Reserved6);                                              // 6
    PLUGINAPI_RESERVED(Reserved7);                                              // 7
    PLUGINAPI_RESERVED(Reserved8);                                              // 8
    virtual HRESULT STDMETHODCALLTYPE SetValue(BSTR name, BSTR value) = 0;      // 9
    virtual HRESULT STDMETHODCALLTYPE GetValue(BSTR name, BSTR* value) = 0;     // 10

protected:
    ~IHostKernel() = default;
};
