// One plug-in library loaded by a host: found by its entry export alone, torn down in the order the
// boundary fixes (NotifyDestroy, the last Release, _done, unload).
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"

#include <memory>
#include <stdexcept>
#include <string>

class PluginLoadError : public std::runtime_error {
public:
    PluginLoadError(const std::string& message, HRESULT code) : std::runtime_error(message), FCode(code) {}
    HRESULT Code() const { return FCode; }

private:
    HRESULT FCode;
};

struct PluginInfo {
    GUID id{};
    std::u16string name, version, copyright, homePage, email;
    int32_t category = 0;
};

class PluginLibrary {
public:
    // Loads the file and calls its entry with core; raises PluginLoadError naming the file when the
    // file is no plug-in or the entry fails.
    PluginLibrary(const std::string& path, ICore* core);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& Path() const { return FPath; }
    IPlugin* Plugin() const { return FPlugin.get(); }
    PluginInfo Info() const;
    // NotifyDestroy, the last Release, _done; the library stays mapped until destruction.
    HRESULT Unload();
    HRESULT DoneResult() const { return FDoneResult; }

private:
    std::string FPath;
    std::unique_ptr<void, int (*)(void*)> FHandle;
    PluginDoneProc FDone = nullptr;
    ComPtr<IPlugin> FPlugin;
    HRESULT FDoneResult = S_OK;
    bool FUnloaded = false;
};
