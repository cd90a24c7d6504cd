#include "Host/LogHostWindowHandle.h"

#include <QWidget>

#include <limits>

std::optional<HWND> WindowHandle(QWidget& window) {
    const WId id = window.winId();
    if (id > std::numeric_limits<HWND>::max())
        return std::nullopt;
    return static_cast<HWND>(id);
}
