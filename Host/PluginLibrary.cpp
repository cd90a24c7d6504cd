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
    : path_(path), handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL), &dlclose) {
    if (!handle_) {
        const char* why = dlerror();
        throw PluginLoadError(path + ": cannot load: " + (why ? why : "unknown error"), E_FAIL);
    }
    auto entry = reinterpret_cast<PluginEntryProc>(dlsym(handle_.get(), PLUGIN_ENTRY_NAME));
    done_ = reinterpret_cast<PluginDoneProc>(dlsym(handle_.get(), PLUGIN_DONE_NAME));
    if (entry == nullptr)
        throw PluginLoadError(path + ": not a plug-in (no entry export)", E_FAIL);
    IPlugin* raw = nullptr;
    const HRESULT hr = entry(core, &raw);
    plugin_ = ComPtr<IPlugin>::Attach(raw);
    if (hr < 0 || !plugin_) {
        plugin_.reset();
        throw PluginLoadError(path + ": the plug-in refused to load (" + Hex(hr) + ")", hr < 0 ? hr : E_FAIL);
    }
}

PluginLibrary::~PluginLibrary() {
    Unload();
}

PluginInfo PluginLibrary::Info() const {
    PluginInfo info;
    if (!plugin_)
        return info;
    BStr s;
    plugin_->GetID(&info.id);
    if (plugin_->GetName(s.put()) >= 0)
        info.name = s.str();
    if (plugin_->GetVersion(s.put()) >= 0)
        info.version = s.str();
    plugin_->GetCategory(&info.category);
    if (plugin_->GetCopyright(s.put()) >= 0)
        info.copyright = s.str();
    if (plugin_->GetHomePage(s.put()) >= 0)
        info.homePage = s.str();
    if (plugin_->GetEmail(s.put()) >= 0)
        info.email = s.str();
    return info;
}

HRESULT PluginLibrary::Unload() {
    if (unloaded_)
        return S_OK;
    unloaded_ = true;
    HRESULT result = S_OK;
    if (plugin_) {
        if (ComPtr<IDestroyNotify> notify = plugin_.query<IDestroyNotify>())
            result = notify->NotifyDestroy();
        plugin_.reset();
    }
    if (done_ != nullptr)
        doneResult_ = done_();
    return result;
}
