// The dialogs' guard around their event handlers, so that no exception crosses a window's event loop.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/SysUtils.h"

#include <functional>

// How a dialog runs one of its handlers, as the GUI framework does: an exception that leaves the handler
// goes no further, and its message is shown through the host's ShowMessage with the caption "Error".
// When the host cannot show it (no kernel, or the call failed), the text goes to unshown, if given, for
// the dialog to show by its own means. Nothing leaves this call.
void GuardHandler(const ComPtr<IHostKernel>& kernel, const std::function<void()>& handler,
                  const std::function<void(const UnicodeString& text)>& unshown = {}) noexcept;
