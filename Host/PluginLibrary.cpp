#include "Host/PluginLibrary.h"

#include "PluginAPI/BStr.h"

#include <cstdio>
#include <dlfcn.h>

namespace {
std::string Hex(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}
} // namespace

PluginLibrary::PluginLibrary(const std::string& path, ICore* core)
    : FPath(path), FHandle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL), &dlclose) {
    if (!FHandle) {
        const char* why = dlerror();
        throw PluginLoadError(path + ": cannot load: " + (why ? why : "unknown error"), E_FAIL);
    }
    auto entry = reinterpret_cast<PluginEntryProc>(dlsym(FHandle.get(), PLUGIN_ENTRY_NAME));
    FDone = reinterpret_cast<PluginDoneProc>(dlsym(FHandle.get(), PLUGIN_DONE_NAME));
    if (entry == nullptr)
        throw PluginLoadError(path + ": not a plug-in (no entry export)", E_FAIL);
    IPlugin* raw = nullptr;
    const HRESULT hr = entry(core, &raw);
    FPlugin = ComPtr<IPlugin>::Attach(raw);
    if (hr < 0 || !FPlugin) {
        FPlugin.reset();
        throw PluginLoadError(path + ": the plug-in refused to load (" + Hex(hr) + ")", hr < 0 ? hr : E_FAIL);
    }
}

PluginLibrary::~PluginLibrary() {
    Unload();
}

PluginInfo PluginLibrary::Info() const {
    PluginInfo info;
    if (!FPlugin)
        return info;
    BStr s;
    FPlugin->GetID(&info.id);
    if (FPlugin->GetName(s.put()) >= 0)
        info.name = s.str();
    if (FPlugin->GetVersion(s.put()) >= 0)
        info.version = s.str();
    FPlugin->GetCategory(&info.category);
    if (FPlugin->GetCopyright(s.put()) >= 0)
        info.copyright = s.str();
    if (FPlugin->GetHomePage(s.put()) >= 0)
        info.homePage = s.str();
    if (FPlugin->GetEmail(s.put()) >= 0)
        info.email = s.str();
    return info;
}

HRESULT PluginLibrary::Unload() {
    if (FUnloaded)
        return S_OK;
    FUnloaded = true;
    HRESULT result = S_OK;
    if (FPlugin) {
        if (ComPtr<IDestroyNotify> notify = FPlugin.query<IDestroyNotify>())
            result = notify->NotifyDestroy();
        FPlugin.reset();
    }
    if (FDone != nullptr)
        FDoneResult = FDone();
    return result;
}
