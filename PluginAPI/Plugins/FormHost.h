// The host's side of a plug-in form, the same for every window toolkit: the core it was built from and
// the host's window services, set before the toolkit's form is built so that the dialog may use them
// from its first handler on.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/PluginAPI.h"

struct TFormHost {
    // Fails with an assertion failure when the host offers no IApplicationWindows.
    explicit TFormHost(ICore* core);
    ComPtr<ICore> FCore;
    ComPtr<IApplicationWindows> FApplicationWindows;
};
