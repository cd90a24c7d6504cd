// Creates and removes a plug-in's entries in the host's menus.
#pragma once

#include "PluginAPI/PluginTypes.h"

#include "PluginAPI/IMenuItem.h"

struct IMenuManager : IUnknown {
    static constexpr GUID iid{0x32FBAF60, 0xBCD8, 0x444E, {0xBD, 0x14, 0xE8, 0x67, 0x26, 0x04, 0x1C, 0xD1}};
    virtual HRESULT STDMETHODCALLTYPE CreateItem(IMenuItem** item) = 0; // 3
    // The host may clear the caller's variable; the caller releases whatever is left in it.
    virtual HRESULT STDMETHODCALLTYPE DeleteItem(IMenuItem** item) = 0; // 4

protected:
    ~IMenuManager() = default;
};
