#include "Platform/WinUser.h"

#include <cstring>
#include <memory>
#include <type_traits>

namespace {
struct TBitmapDelete {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using TBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, TBitmapDelete>;
} // namespace

HICON CreateIconFromPixels(std::int32_t width, std::int32_t height, const std::uint32_t* argb) {
    // A top-down 32-bit picture whose alpha channel decides what shows; the mask only has to exist.
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = -height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    const TBitmap color(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header),
                                         DIB_RGB_COLORS, &bits, nullptr, 0));
    const TBitmap mask(CreateBitmap(width, height, 1, 1, nullptr));
    if (!color || !mask || bits == nullptr)
        return nullptr;
    std::memcpy(bits, argb, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color.get();
    info.hbmMask = mask.get();
    // The icon holds copies of both pictures.
    return CreateIconIndirect(&info);
}
