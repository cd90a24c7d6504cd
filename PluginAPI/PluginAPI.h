// The whole host boundary: the ten interfaces and the two exports a plug-in library offers.
#pragma once

#include "PluginAPI/IApplicationIcons.h"
#include "PluginAPI/IApplicationWindows.h"
#include "PluginAPI/ICore.h"
#include "PluginAPI/IDestroyNotify.h"
#include "PluginAPI/IHostKernel.h"
#include "PluginAPI/IHostServer.h"
#include "PluginAPI/IMenuItem.h"
#include "PluginAPI/IMenuManager.h"
#include "PluginAPI/INotifyEvent.h"
#include "PluginAPI/IPlugin.h"

// The export names a host looks up. They begin with a digit, so no C++ identifier can carry them.
#define PLUGIN_ENTRY_NAME "983BEDA12B2347028D99FF042C551640"
#define PLUGIN_DONE_NAME "983BEDA12B2347028D99FF042C551640_done"

using PluginEntryProc = HRESULT(STDMETHODCALLTYPE*)(ICore* core, IPlugin** plugin);
using PluginDoneProc = HRESULT(STDMETHODCALLTYPE*)();
