// Stands in for the plug-in library in the export checks until the plug-in framework builds with MinGW:
// the exports of Plugins/Zarbex/Zarbex.def over the static runtime and the platform layer, the entry
// answering as it does for a host it cannot serve (the host's variable cleared, E_UNEXPECTED), _done
// answering S_OK.
#include <windows.h>

extern "C" HRESULT STDMETHODCALLTYPE PluginEntry(IUnknown* /*core*/, void** plugin) {
    if (plugin != nullptr)
        *plugin = nullptr;
    return E_UNEXPECTED;
}

extern "C" HRESULT STDMETHODCALLTYPE PluginDone() {
    return S_OK;
}
