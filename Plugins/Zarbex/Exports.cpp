// The library's two exports, and nothing else: the host finds the entry by its name alone.
#include "Plugins/Zarbex/Zarbex.h"

#if defined(_WIN32)
// A PE export table takes no quoted assembler names: Zarbex.def gives the two functions the names the host
// looks up, and the library exports nothing else.
extern "C" HRESULT STDMETHODCALLTYPE PluginEntry(ICore* core, IPlugin** plugin);
extern "C" HRESULT STDMETHODCALLTYPE PluginDone();
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

PLUGIN_EXPORT HRESULT STDMETHODCALLTYPE PluginEntry(ICore* core,
                                                    IPlugin** plugin) __asm__("\"" PLUGIN_ENTRY_NAME "\"");
PLUGIN_EXPORT HRESULT STDMETHODCALLTYPE PluginDone() __asm__("\"" PLUGIN_DONE_NAME "\"");
#endif

HRESULT STDMETHODCALLTYPE PluginEntry(ICore* core, IPlugin** plugin) {
    if (plugin == nullptr)
        return E_UNEXPECTED;
    *plugin = nullptr; // the host's variable is not ours to release
    return SafeCallNoObject([&] {
        TPlugin* object = TCheckedInterfacedObject::Create<TPlugin>(core);
        void* result = nullptr;
        if (object->QueryInterface(IidOf<IPlugin>(), &result) != S_OK) {
            object->Destroy();
            throw EIntfCastError(u"Interface not supported");
        }
        *plugin = static_cast<IPlugin*>(result);
    });
}

HRESULT STDMETHODCALLTYPE PluginDone() {
    return S_OK;
}
