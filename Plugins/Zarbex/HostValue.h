// A value the host keeps by name ("APPPATH", "DOWNLOAD", ...), through IHostKernel's GetValue.
#pragma once

#include "PluginAPI/BStr.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/PluginAPI.h"

inline UnicodeString HostValue(const ComPtr<IHostKernel>& kernel, const char16_t* name) {
    if (!kernel)
        throw EInvalidOperation(u"The host offers no kernel services (IHostKernel)");
    BStr value;
    HostCall(kernel->GetValue(BStr(name).get(), value.put()));
    return value.str();
}
