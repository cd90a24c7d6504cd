// The plug-in's identity, implemented by the plug-in.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct IPlugin : IUnknown {
    static constexpr GUID iid{0x16AB27D6, 0xDD64, 0x4CCE, {0xB3, 0xE5, 0xEC, 0xBC, 0xE7, 0xC7, 0x40, 0x1A}};
    virtual HRESULT STDMETHODCALLTYPE GetID(GUID* id) = 0;                // 3
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;            // 4
    virtual HRESULT STDMETHODCALLTYPE GetVersion(BSTR* version) = 0;      // 5
    virtual HRESULT STDMETHODCALLTYPE GetCategory(int32_t* category) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE GetCopyright(BSTR* text) = 0;       // 7
    virtual HRESULT STDMETHODCALLTYPE GetHomePage(BSTR* url) = 0;         // 8
    virtual HRESULT STDMETHODCALLTYPE GetEmail(BSTR* address) = 0;        // 9

protected:
    ~IPlugin() = default;
};
