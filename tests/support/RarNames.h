// Archives as other programs than rar may write them: an entry name whose stored UTF-8 begins with a byte
// that is no UTF-8, so that it decodes to nothing (rar itself keeps such bytes as private characters).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace RarNamesDetail {

inline std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= static_cast<unsigned char>(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

// A RAR 5 variable-length number at at; at moves past it.
inline std::uint64_t VarInt(const std::string& bytes, std::size_t& at) {
    std::uint64_t value = 0;
    for (int shift = 0; at < bytes.size(); shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value |= std::uint64_t{byte & 0x7Fu} << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    return value;
}

} // namespace RarNamesDetail

// In the bytes of a RAR 5 archive made without quick-open information (rar -qo-, whose copies of the
// headers the library would read instead), turns the first byte of the stored name `name` into 0xFF and
// makes the CRC of the header that holds it right again. False when no header holds the name.
inline bool MakeNameUndecodable(std::string& archive, const std::string& name) {
    std::size_t block = 8; // behind the signature
    while (block + 4 < archive.size()) {
        std::size_t at = block + 4;
        const std::uint64_t headerSize = RarNamesDetail::VarInt(archive, at);
        const std::size_t headerEnd = at + static_cast<std::size_t>(headerSize);
        std::size_t field = at;
        RarNamesDetail::VarInt(archive, field); // type
        const std::uint64_t flags = RarNamesDetail::VarInt(archive, field);
        if ((flags & 0x0001) != 0)
            RarNamesDetail::VarInt(archive, field);
        const std::uint64_t dataSize = (flags & 0x0002) != 0 ? RarNamesDetail::VarInt(archive, field) : 0;
        const std::size_t found = archive.find(name, at);
        if (found != std::string::npos && found + name.size() <= headerEnd) {
            archive[found] = '\xFF';
            const std::uint32_t crc = RarNamesDetail::Crc32(archive.substr(block + 4, headerEnd - block - 4));
            for (int i = 0; i < 4; ++i)
                archive[block + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (8 * i));
            return true;
        }
        block = headerEnd + static_cast<std::size_t>(dataSize);
    }
    return false;
}
