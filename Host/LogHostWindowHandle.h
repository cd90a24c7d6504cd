// The native id of a window as the host hands it to plug-ins: a 32-bit window handle.
#pragma once

#include "Platform/WinTypes.h"

#include <optional>

class QWidget;

// Creates the native window when needed; nullopt when its id does not fit 32 bits.
std::optional<HWND> WindowHandle(QWidget& window);
