#include "Platform/QuantityText.h"

#include <cstdio>

std::string ByteCountText(std::uint64_t bytes) {
    std::string text = std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        text += " (" + std::to_string(bytes >> 20) + " MiB)";
    return text;
}

std::string RoundSizeText(std::uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string ApproximateSizeText(std::uint64_t bytes) {
    if (bytes < 1024)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static constexpr const char* units[] = {"KB", "MB", "GB", "TB"};
    // Tenths of the unit, truncated, so that the figure never runs ahead of what arrived.
    std::uint64_t scale = 1024;
    std::size_t unit = 0;
    while (unit + 1 < std::size(units) && bytes >= scale * 1024) {
        scale *= 1024;
        ++unit;
    }
    const std::uint64_t tenths = bytes / scale * 10 + bytes % scale * 10 / scale;
    char text[48];
    std::snprintf(text, sizeof text, "%llu.%llu %s", static_cast<unsigned long long>(tenths / 10),
                  static_cast<unsigned long long>(tenths % 10), units[unit]);
    return text;
}

std::string DurationText(std::chrono::milliseconds duration) {
    const auto count = duration.count();
    const auto plural = [](long long n, const char* unit) {
        return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
    };
    if (count > 0 && count % 60'000 == 0)
        return plural(count / 60'000, "minute");
    if (count % 1000 == 0)
        return plural(count / 1000, "second");
    return std::to_string(count) + " ms";
}
