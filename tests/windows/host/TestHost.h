// The Windows test host: the reference host's side of the boundary (Host/HostServices, its menu items and
// an in-memory callbook) with a main window of its own, and Zarbex.ext loaded as a host loads it, by its
// file and its two exports.
#pragma once

#include "Host/Callbook.h"
#include "Host/HostMenuItem.h"
#include "Host/HostServices.h"
#include "Includes/win32/Module.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The plug-in library in app/ beside the test programs, loaded from its file: its entry and _done by
// name.
class TPluginModule {
public:
    TPluginModule();
    PluginEntryProc Entry() const { return entry_; }
    PluginDoneProc Done() const { return done_; }

private:
    TModule module_;
    PluginEntryProc entry_;
    PluginDoneProc done_;
};

// The library, loaded once for the test program as a host loads it once (loading it pulls in the
// system's dialog libraries, which takes Wine a while).
const TPluginModule& PluginModule();

// The host's main window, the owner of the plug-in's windows: one for the test program, as a host has
// one for its life (making and destroying one costs Wine a while each time). It stays hidden.
HWND MainWindow();

class TTestHost {
public:
    // callbookFile: the stations, one a line (see Host/win32/Callbook.cpp); none when empty.
    explicit TTestHost(const std::u16string& callbookFile = {});
    ~TTestHost();

    HostServices& Host() { return *host_.get(); }
    ICore* Core() { return host_.get(); }
    Callbook* CallbookTable() { return callbook_.get(); }

    // What the plug-in asked the host to show and to do, as (text, caption) and (name, value).
    std::vector<std::pair<std::u16string, std::u16string>> Messages;
    std::vector<std::pair<std::u16string, std::u16string>> Commands;
    // How many messages were shown so far: unlike Messages, readable from any thread.
    std::size_t MessagesShown() const { return messagesShown_.load(); }

private:
    std::atomic<std::size_t> messagesShown_{0};
    std::unique_ptr<Callbook> callbook_;
    ComPtr<HostServices> host_;
};

// The plug-in created through the entry, torn down as a host does: NotifyDestroy, the last Release, _done.
class TLoadedPlugin {
public:
    // Raises std::runtime_error when the entry fails.
    TLoadedPlugin(const TPluginModule& module, ICore* core);
    ~TLoadedPlugin();
    TLoadedPlugin(const TLoadedPlugin&) = delete;
    TLoadedPlugin& operator=(const TLoadedPlugin&) = delete;

    IPlugin* Plugin() const { return plugin_.get(); }

private:
    const TPluginModule& module_;
    ComPtr<IPlugin> plugin_;
};

// Whether an icon (one the host handed out, say) still exists.
inline bool IconAlive(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return false;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

// Whether the calling thread holds an error record; taking it clears it.
bool TakeErrorRecord(std::u16string* description = nullptr);
