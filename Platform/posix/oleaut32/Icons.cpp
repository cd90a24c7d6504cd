// The process-wide icon table behind HICON and DestroyIcon.
#include "Platform/WinUser.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct Icon {
    int32_t width;
    int32_t height;
    std::vector<uint32_t> pixels;
};

struct IconTable {
    std::mutex lock;
    std::unordered_map<HICON, Icon> icons;
    HICON next = 0x10000;
};

IconTable& Table() {
    static IconTable table;
    return table;
}

} // namespace

OLEAUT32_API HICON WINAPI CreateIconFromPixels(int32_t width, int32_t height, const uint32_t* argb) {
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096 || argb == nullptr)
        return 0;
    auto& table = Table();
    std::lock_guard guard(table.lock);
    HICON handle = table.next++;
    if (table.next == 0)
        table.next = 0x10000;
    table.icons[handle] =
        Icon{width, height, std::vector<uint32_t>(argb, argb + std::size_t(width) * height)};
    return handle;
}

OLEAUT32_API BOOL WINAPI GetIconPixels(HICON icon, int32_t* width, int32_t* height, uint32_t* argb,
                                       size_t capacity) {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.icons.find(icon);
    if (it == table.icons.end())
        return 0;
    if (width != nullptr)
        *width = it->second.width;
    if (height != nullptr)
        *height = it->second.height;
    if (argb != nullptr) {
        if (capacity < it->second.pixels.size())
            return 0;
        std::memcpy(argb, it->second.pixels.data(), it->second.pixels.size() * sizeof(uint32_t));
    }
    return -1;
}

OLEAUT32_API BOOL WINAPI DestroyIcon(HICON icon) {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    return table.icons.erase(icon) == 1 ? -1 : 0;
}

OLEAUT32_API uint32_t WINAPI LiveIconCount() {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    return static_cast<uint32_t>(table.icons.size());
}
