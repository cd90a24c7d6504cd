#include "PluginAPI/Plugins/FormHost.h"

TFormHost::TFormHost(ICore* core) : FCore(core) {
    FApplicationWindows = FCore.query<IApplicationWindows>();
    Assert(static_cast<bool>(FApplicationWindows), u"PluginAPI\\Plugins\\PluginForm", 47);
}
