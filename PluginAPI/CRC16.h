// CRC-16/XMODEM (polynomial 0x1021, initial 0, no reflection): the checksum behind class-name codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

std::uint16_t CalcCRC16(const void* data, std::ptrdiff_t length);
// Over the text's UTF-8 bytes, without terminator or mark.
std::uint16_t StringCRC16(std::u16string_view text);
