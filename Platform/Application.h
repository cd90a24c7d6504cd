// The process's application-wide owner window for the plug-in's top-level windows (the role of the
// GUI framework's application handle on Windows).
#pragma once

#include "Platform/WinTypes.h"

void SetApplicationHandle(HWND handle);
HWND ApplicationHandle();
