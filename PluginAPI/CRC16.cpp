#include "PluginAPI/CRC16.h"

#include "PluginAPI/SysUtils.h"

#include <array>

namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) : (crc << 1);
        table[i] = static_cast<std::uint16_t>(crc & 0xFFFF);
    }
    return table;
}

constexpr auto kTable = MakeTable();

} // namespace

std::uint16_t CalcCRC16(const void* data, std::ptrdiff_t length) {
    std::uint16_t crc = 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::ptrdiff_t i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>(kTable[((crc >> 8) ^ bytes[i]) & 0xFF] ^ ((crc << 8) & 0xFFFF));
    return crc;
}

std::uint16_t StringCRC16(std::u16string_view text) {
    const std::string utf8 = StringToUtf8(text);
    return CalcCRC16(utf8.data(), static_cast<std::ptrdiff_t>(utf8.size()));
}
